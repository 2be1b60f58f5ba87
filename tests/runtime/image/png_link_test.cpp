// Proves that the converter's programs link the libpng and zlib built by
// the setup and that they decode PNG data held in memory.
#include <gtest/gtest.h>

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

namespace {

// 2 x 2 RGB, 8 bits: red, green / blue, white.
const unsigned char kTinyPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
    0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x08, 0x02, 0x00, 0x00, 0x00, 0xfd,
    0xd4, 0x9a, 0x73, 0x00, 0x00, 0x00, 0x12, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0xf8,
    0xcf, 0xc0, 0xc0, 0x00, 0xc2, 0x0c, 0xff, 0x81, 0x00, 0x00, 0x1f, 0xee, 0x05, 0xfb, 0x0b,
    0xd9, 0x68, 0x8b, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

struct MemoryReader {
  const unsigned char* data;
  size_t size;
  size_t offset;
};

void read_from_memory(png_structp png, png_bytep out, png_size_t length) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (reader->offset + length > reader->size) png_error(png, "read past the end");
  memcpy(out, reader->data + reader->offset, length);
  reader->offset += length;
}

void quiet_warning(png_structp, png_const_charp) {}

struct Decoded {
  bool ok = false;
  png_uint_32 width = 0, height = 0;
  std::vector<unsigned char> rgb;
};

Decoded decode(const unsigned char* data, size_t size) {
  Decoded result;
  if (png_sig_cmp(data, 0, size < 8 ? size : 8) != 0) return result;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, quiet_warning);
  if (!png) return result;
  png_infop info = png_create_info_struct(png);
  MemoryReader reader = {data, size, 0};
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    result.ok = false;
    return result;
  }
  png_set_read_fn(png, &reader, read_from_memory);
  png_read_info(png, info);
  result.width = png_get_image_width(png, info);
  result.height = png_get_image_height(png, info);
  result.rgb.resize(static_cast<size_t>(result.width) * result.height * 3);
  for (png_uint_32 y = 0; y < result.height; y++) rows.push_back(result.rgb.data() + y * result.width * 3);
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  result.ok = true;
  return result;
}

TEST(PngLinkTest, DecodesATinyPngFromMemory) {
  Decoded image = decode(kTinyPng, sizeof kTinyPng);
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.width, 2u);
  EXPECT_EQ(image.height, 2u);
  const std::vector<unsigned char> expected = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  EXPECT_EQ(image.rgb, expected);
}

TEST(PngLinkTest, CorruptDataEndsInTheErrorTrapNotACrash) {
  std::vector<unsigned char> broken(kTinyPng, kTinyPng + sizeof kTinyPng);
  broken[45] ^= 0xFF;  // inside the compressed IDAT data
  EXPECT_FALSE(decode(broken.data(), broken.size()).ok);
  EXPECT_FALSE(decode(kTinyPng, 40).ok);  // cut short in IDAT
}

TEST(PngLinkTest, LinksTheLibpngOfTheBuild) {
  EXPECT_EQ(png_access_version_number(), static_cast<png_uint_32>(PNG_LIBPNG_VER));
}

}  // namespace
