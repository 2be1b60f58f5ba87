// PNG data in memory becoming DIB sections: every colour type and depth,
// interlacing, truncated and corrupt files, and the program's own logo.
#include <cstring>

#include "assets/logo_data.h"
#include "runtime/image/bitmap_alpha.h"
#include "tests/runtime/image/image_fixture.h"

namespace {

struct Decoded {
  bool ok = false;
  int width = 0, height = 0, depth = 0, source_depth = 0;
  std::vector<Bytes> rows;  // screen order, BGR(A)
};

Decoded decode(const Bytes& png) {
  Decoded d;
  GuardedBytes data(png);
  if (!image_from_memory(0, data.data(), data.size())) return d;
  const ImageObject* image = image_lookup(0);
  DibView view(image->handle);
  d.ok = view.ok;
  d.width = image->width;
  d.height = image->height;
  d.depth = image->depth;
  d.source_depth = image->source_depth;
  for (int y = 0; y < d.height; y++) d.rows.push_back(view.row(y));
  return d;
}

PngLayout layout(int width, int height, int color_type, int bit_depth, std::vector<Bytes> rows) {
  PngLayout s;
  s.width = width;
  s.height = height;
  s.color_type = color_type;
  s.bit_depth = bit_depth;
  s.rows = std::move(rows);
  return s;
}

// Deterministic noise, so that the compressed data has some bulk.
Bytes noise(size_t count, uint32_t seed) {
  Bytes b(count);
  for (auto& v : b) v = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 23);
  return b;
}

PngLayout noisy(int width, int height, int color_type, int bit_depth, int bytes_per_row) {
  std::vector<Bytes> rows;
  for (int y = 0; y < height; y++) rows.push_back(noise(bytes_per_row, 7 + y));
  return layout(width, height, color_type, bit_depth, rows);
}

using PngDecoderTest = ImageTest;

TEST_F(PngDecoderTest, EveryColourTypeBecomesBgrOrBgraWithItsSourceDepth) {
  PngLayout palette8 = layout(2, 1, PNG_COLOR_TYPE_PALETTE, 8, {{1, 0}});
  palette8.palette = {{10, 20, 30}, {40, 50, 60}};
  PngLayout palette4 = layout(3, 1, PNG_COLOR_TYPE_PALETTE, 4, {{0x01, 0x20}});
  palette4.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
  palette4.palette_alpha = {0, 128};  // the third entry stays opaque
  PngLayout grey2 = layout(2, 1, PNG_COLOR_TYPE_GRAY, 2, {{0x70}});
  grey2.grey_transparent = 1;
  PngLayout grey16 = layout(1, 1, PNG_COLOR_TYPE_GRAY, 16, {{0xAB, 0xCD}});
  grey16.grey_transparent = 0xABCD;  // not applied at 16 bits
  PngLayout rgb_trns = layout(1, 1, PNG_COLOR_TYPE_RGB, 8, {{0, 0, 0}});
  rgb_trns.rgb_transparent = true;  // not applied to RGB
  const Bytes W = {255, 255, 255}, K = {0, 0, 0};
  Bytes grey1_row;
  for (int bit : {1, 0, 1, 0, 0, 0, 0, 0, 1, 1}) grey1_row.insert(grey1_row.end(), (bit ? W : K).begin(), (bit ? W : K).end());

  const struct {
    const char* name;
    PngLayout png;
    int depth, source_depth;
    std::vector<Bytes> rows;
  } cases[] = {
      {"RGB", layout(2, 2, PNG_COLOR_TYPE_RGB, 8, {{255, 0, 0, 0, 255, 0}, {0, 0, 255, 10, 20, 30}}), 24, 24,
       {{0, 0, 255, 0, 255, 0}, {255, 0, 0, 30, 20, 10}}},
      {"RGB 16", layout(1, 1, PNG_COLOR_TYPE_RGB, 16, {{0xAB, 0xCD, 0x12, 0x34, 0x56, 0x78}}), 24, 24,
       {{0x56, 0x12, 0xAB}}},
      {"RGBA, alpha straight", layout(2, 1, PNG_COLOR_TYPE_RGBA, 8, {{200, 100, 50, 128, 1, 2, 3, 255}}), 32, 32,
       {{50, 100, 200, 128, 3, 2, 1, 255}}},
      {"RGBA 16", layout(1, 1, PNG_COLOR_TYPE_RGBA, 16, {{0x11, 0, 0x33, 0, 0x55, 0, 0x77, 0}}), 32, 32,
       {{0x55, 0x33, 0x11, 0x77}}},
      {"palette", palette8, 24, 8, {{60, 50, 40, 30, 20, 10}}},
      {"palette with tRNS", palette4, 32, 4, {{30, 20, 10, 0, 60, 50, 40, 128, 90, 80, 70, 255}}},
      {"grey 1", layout(10, 1, PNG_COLOR_TYPE_GRAY, 1, {{0xA0, 0xC0}}), 24, 1, {grey1_row}},
      {"grey 2 with tRNS", grey2, 32, 2, {{85, 85, 85, 0, 255, 255, 255, 255}}},
      {"grey 16 with tRNS", grey16, 24, 16, {{0xAB, 0xAB, 0xAB}}},
      {"grey with alpha", layout(1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {{77, 99}}), 32, 8, {{77, 77, 77, 99}}},
      {"RGB with tRNS", rgb_trns, 24, 24, {{0, 0, 0}}},
  };
  for (const auto& c : cases) {
    Decoded d = decode(make_png(c.png));
    ASSERT_TRUE(d.ok) << c.name;
    EXPECT_EQ(d.width, c.png.width) << c.name;
    EXPECT_EQ(d.depth, c.depth) << c.name;
    EXPECT_EQ(d.source_depth, c.source_depth) << c.name;
    EXPECT_EQ(d.rows, c.rows) << c.name;
  }
}

TEST_F(PngDecoderTest, InterlacedImageDecodesToTheSamePixelsAsItsTwin) {
  for (PngLayout png : {noisy(13, 11, PNG_COLOR_TYPE_RGBA, 8, 13 * 4), noisy(13, 11, PNG_COLOR_TYPE_GRAY, 1, 2),
                      noisy(9, 17, PNG_COLOR_TYPE_RGB, 16, 9 * 6)}) {
    Decoded plain = decode(make_png(png));
    png.interlaced = true;
    Decoded interlaced = decode(make_png(png));
    ASSERT_TRUE(plain.ok && interlaced.ok) << png.color_type;
    EXPECT_EQ(interlaced.rows, plain.rows) << png.color_type;
  }
}

// Where the IEND chunk starts: every byte before it is needed for the rows.
size_t iend_offset(const Bytes& png) { return png.size() - 12; }

TEST_F(PngDecoderTest, TruncatedPngFailsAtEveryCutWithoutReadingPastTheData) {
  QuietStderr quiet;
  for (bool interlaced : {false, true}) {
    PngLayout layout = noisy(24, 24, PNG_COLOR_TYPE_RGB, 8, 24 * 3);
    layout.interlaced = interlaced;
    const Bytes png = make_png(layout);
    for (size_t cut = 0; cut < iend_offset(png); cut++) {
      Bytes part(png.begin(), png.begin() + cut);
      ASSERT_FALSE(decode(part).ok) << "cut at " << cut << (interlaced ? " interlaced" : "");
      ASSERT_EQ(image_handle(0), nullptr);
    }
    EXPECT_TRUE(decode(png).ok);
  }
}

TEST_F(PngDecoderTest, CorruptPngsAndShortSizesAreRefused) {
  QuietStderr quiet;
  const Bytes png = make_png(noisy(8, 8, PNG_COLOR_TYPE_RGB, 8, 24));
  Bytes bad_header = png, bad_data = png, bad_signature = png;
  bad_header[20] ^= 0x01;  // IHDR width, now failing its CRC
  bad_data[50] ^= 0xFF;    // inside the compressed rows
  bad_signature[1] = 'Q';
  EXPECT_FALSE(decode(bad_header).ok);
  EXPECT_FALSE(decode(bad_data).ok);
  EXPECT_FALSE(decode(bad_signature).ok);
  EXPECT_EQ(image_from_memory(0, png.data(), 7), 0);
  EXPECT_EQ(image_from_memory(0, png.data(), 0), 0);
  EXPECT_EQ(image_from_memory(0, png.data(), -1), 0);
  EXPECT_TRUE(decode(png).ok);
}

TEST(LogoAssetTest, IsA168By136RgbPngWithOneIdatChunk) {
  const Bytes logo(logo_png, logo_png + logo_png_size);
  ASSERT_GT(logo.size(), 8u + 25u + 12u);
  EXPECT_EQ(png_sig_cmp(logo.data(), 0, 8), 0);
  int idat_chunks = 0;
  size_t at = 8;
  std::string last;
  while (at + 12 <= logo.size()) {
    uint32_t length = png_get_uint_32(&logo[at]);
    last.assign(reinterpret_cast<const char*>(&logo[at + 4]), 4);
    if (at == 8) {
      ASSERT_EQ(last, "IHDR");
      EXPECT_EQ(png_get_uint_32(&logo[at + 8]), 168u);
      EXPECT_EQ(png_get_uint_32(&logo[at + 12]), 136u);
      EXPECT_EQ(Bytes(&logo[at + 16], &logo[at + 21]), Bytes({8, 2, 0, 0, 0}));
    }
    if (last == "IDAT") idat_chunks++;
    at += 12 + length;
  }
  EXPECT_EQ(at, logo.size());
  EXPECT_EQ(last, "IEND");
  EXPECT_EQ(idat_chunks, 1);
}

TEST_F(PngDecoderTest, LogoDecodesUprightInto504ByteRowsWithoutAlpha) {
  png_image reference;
  memset(&reference, 0, sizeof reference);
  reference.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_memory(&reference, logo_png, logo_png_size));
  reference.format = PNG_FORMAT_BGR;
  Bytes expected(PNG_IMAGE_SIZE(reference));
  ASSERT_TRUE(png_image_finish_read(&reference, nullptr, expected.data(), 0, nullptr));

  ASSERT_NE(image_from_memory(0, logo_png, static_cast<int32_t>(logo_png_size)), 0);
  const ImageObject* image = image_lookup(0);
  EXPECT_EQ(image->width, 168);
  EXPECT_EQ(image->height, 136);
  EXPECT_EQ(image->depth, 24);
  EXPECT_EQ(image->source_depth, 24);
  DibView view(image->handle);
  ASSERT_TRUE(view.ok);
  EXPECT_EQ(view.dib.dsBm.bmWidthBytes, 504);
  // Read as a bottom-up section: the first PNG row is the top screen row.
  EXPECT_EQ(view.row(0), Bytes(expected.begin(), expected.begin() + 504));
  for (int y = 1; y < 136; y++) ASSERT_EQ(view.row(y), Bytes(&expected[y * 504], &expected[(y + 1) * 504])) << y;
  EXPECT_EQ(bitmap_has_alpha(image->handle), 0);
  // The start-up call, which does not pass the size.
  EXPECT_NE(image_from_memory(1, logo_png), 0);
}

}  // namespace
