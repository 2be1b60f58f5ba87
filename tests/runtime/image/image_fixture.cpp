#include "tests/runtime/image/image_fixture.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>

#include "runtime/image/image_decoder.h"
#include "runtime/image/png_decoder.h"
#include "runtime/window/alpha_blend.h"

GuardedBytes::GuardedBytes(const Bytes& bytes) : size_(bytes.size()) {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  size_t page = info.dwPageSize;
  size_t pages = (size_ + page - 1) / page + 1;
  region_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, pages * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  DWORD old;
  VirtualProtect(region_ + (pages - 1) * page, page, PAGE_NOACCESS, &old);
  uint8_t* start = region_ + (pages - 1) * page - size_;
  if (size_) memcpy(start, bytes.data(), size_);
  data_ = start;
}

GuardedBytes::~GuardedBytes() { VirtualFree(region_, 0, MEM_RELEASE); }

QuietStderr::QuietStderr() {
  fflush(stderr);
  saved_ = _dup(2);
  int nul = _open("NUL", _O_WRONLY);
  _dup2(nul, 2);
  _close(nul);
}

QuietStderr::~QuietStderr() {
  fflush(stderr);
  _dup2(saved_, 2);
  _close(saved_);
}

static void append_to_bytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

Bytes make_png(const PngLayout& layout) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    ADD_FAILURE() << "libpng could not write the test image";
    return Bytes();
  }
  png_set_write_fn(png, &out, append_to_bytes, nullptr);
  png_set_IHDR(png, info, layout.width, layout.height, layout.bit_depth, layout.color_type,
               layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!layout.palette.empty()) png_set_PLTE(png, info, layout.palette.data(), static_cast<int>(layout.palette.size()));
  png_color_16 transparent = {};
  if (!layout.palette_alpha.empty())
    png_set_tRNS(png, info, layout.palette_alpha.data(), static_cast<int>(layout.palette_alpha.size()), nullptr);
  if (layout.grey_transparent >= 0) {
    transparent.gray = static_cast<png_uint_16>(layout.grey_transparent);
    png_set_tRNS(png, info, nullptr, 0, &transparent);
  }
  if (layout.rgb_transparent) png_set_tRNS(png, info, nullptr, 0, &transparent);  // black
  png_write_info(png, info);
  std::vector<png_bytep> rows;
  for (const Bytes& r : layout.rows) rows.push_back(const_cast<png_bytep>(r.data()));
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

void put16(Bytes& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void put32(Bytes& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
void set32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = (v >> (8 * i)) & 0xFF;
}

void put_info_header(Bytes& b, int32_t width, int32_t height, int bit_count, uint32_t compression,
                     uint32_t image_size, uint32_t colours_used) {
  put32(b, 40);
  put32(b, width);
  put32(b, height);
  put16(b, 1);
  put16(b, bit_count);
  put32(b, compression);
  put32(b, image_size);
  put32(b, 0);
  put32(b, 0);
  put32(b, colours_used);
  put32(b, 0);
}

Bytes make_bmp(int32_t width, int32_t height, int bit_count, const std::vector<uint32_t>& colours,
               const Bytes& pixels, uint32_t compression) {
  Bytes b = {'B', 'M'};
  uint32_t offset = 14 + 40 + 4 * static_cast<uint32_t>(colours.size());
  put32(b, offset + static_cast<uint32_t>(pixels.size()));
  put32(b, 0);
  put32(b, offset);
  put_info_header(b, width, height, bit_count, compression, compression == BI_RGB ? 0 : pixels.size(),
                  static_cast<uint32_t>(colours.size()));
  for (uint32_t c : colours) put32(b, c);
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

DibView::DibView(HANDLE bitmap, bool top_down) : top_down(top_down) {
  ok = GetObjectA(bitmap, sizeof dib, &dib) == sizeof dib && dib.dsBm.bmBits;
}

const uint8_t* DibView::at(int x, int y) const {
  int row = top_down ? y : dib.dsBm.bmHeight - 1 - y;
  return static_cast<const uint8_t*>(dib.dsBm.bmBits) + static_cast<size_t>(row) * dib.dsBm.bmWidthBytes +
         x * (dib.dsBm.bmBitsPixel / 8);
}

Bytes DibView::row(int y) const {
  const uint8_t* first = at(0, y);
  return Bytes(first, first + dib.dsBm.bmWidth * (dib.dsBm.bmBitsPixel / 8));
}

void ImageTest::SetUpTestSuite() {
  static bool started = false;
  if (started) return;
  started = true;
  alpha_blend_init();
  image_decoders_init();
  image_library_init();
  register_png_decoder();
}
