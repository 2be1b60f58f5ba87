#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <png.h>

#include <cstdint>
#include <vector>

#include "runtime/image/image.h"

typedef std::vector<uint8_t> Bytes;

// Bytes placed right before an inaccessible page, so that reading one byte
// past them faults instead of passing unnoticed.
class GuardedBytes {
 public:
  explicit GuardedBytes(const Bytes& bytes);
  ~GuardedBytes();
  const uint8_t* data() const { return data_; }
  int32_t size() const { return static_cast<int32_t>(size_); }

 private:
  uint8_t* region_ = nullptr;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// A PNG from libpng's writer. Rows hold the samples as the file packs them
// (16-bit samples big-endian, low bit depths several to a byte).
struct PngLayout {
  int width = 1, height = 1, color_type = PNG_COLOR_TYPE_RGB, bit_depth = 8;
  bool interlaced = false;
  std::vector<Bytes> rows;
  std::vector<png_color> palette;
  Bytes palette_alpha;        // tRNS of a palette image
  int grey_transparent = -1;  // tRNS of a grey image
  bool rgb_transparent = false;
};
Bytes make_png(const PngLayout& layout);

// Little-endian writers for hand-made BMP and ICO images.
void put16(Bytes& b, uint32_t v);
void put32(Bytes& b, uint32_t v);
void set32(Bytes& b, size_t at, uint32_t v);
// A BITMAPINFOHEADER; `height` as stored (negative: top-down; an icon's doubled).
void put_info_header(Bytes& b, int32_t width, int32_t height, int bit_count, uint32_t compression = BI_RGB,
                     uint32_t image_size = 0, uint32_t colours_used = 0);
// A BMP file: file header, info header, colour table, then `pixels`.
Bytes make_bmp(int32_t width, int32_t height, int bit_count, const std::vector<uint32_t>& colours,
               const Bytes& pixels, uint32_t compression = BI_RGB);

// The screen pixel (x, y) of a DIB section as BGR(A) bytes. GDI reports
// every section's height as positive, so the caller says how its rows run.
struct DibView {
  explicit DibView(HANDLE bitmap, bool top_down = false);
  const uint8_t* at(int x, int y) const;
  Bytes row(int y) const;  // the pixel bytes of screen row y
  DIBSECTION dib{};
  bool top_down;
  bool ok = false;
};

// Silences the standard error stream for a scope: libpng's default handlers
// print every error there, thousands of lines for the truncation sweep.
class QuietStderr {
 public:
  QuietStderr();
  ~QuietStderr();

 private:
  int saved_;
};

// Every test starts the image libraries once, the way the program does.
class ImageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void TearDown() override { free_all_images(); }
};
