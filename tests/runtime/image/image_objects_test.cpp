// Images from BMP and ICO file images, the image registry, the decoder
// table and the stride rule.
#include <cstring>
#include <functional>

#include "runtime/image/image_decoder.h"
#include "tests/runtime/image/image_fixture.h"

namespace {

using BmpImageTest = ImageTest;

Bytes bgra_rows(const std::vector<uint32_t>& pixels) {
  Bytes b;
  for (uint32_t p : pixels) put32(b, p);
  return b;
}

TEST_F(BmpImageTest, EightBitBmpBecomesTwentyFourBitsUprightWithSourceDepthEight) {
  // 3 x 2, bottom-up: the file's first row is the screen's last.
  Bytes pixels = {2, 2, 2, 0, 0, 1, 2, 0};
  Bytes bmp = make_bmp(3, 2, 8, {0x000000, 0xFF0000, 0x00FF00}, pixels);
  GuardedBytes data(bmp);
  ASSERT_NE(image_from_memory(0, data.data(), data.size()), 0);
  const ImageObject* image = image_lookup(0);
  EXPECT_EQ(image->width, 3);
  EXPECT_EQ(image->height, 2);
  EXPECT_EQ(image->depth, 24);
  EXPECT_EQ(image->source_depth, 8);
  DibView view(image->handle);
  ASSERT_TRUE(view.ok);
  EXPECT_EQ(view.row(0), Bytes({0, 0, 0, 0, 0, 0xFF, 0, 0xFF, 0}));
  EXPECT_EQ(view.row(1), Bytes({0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0}));
}

TEST_F(BmpImageTest, ThirtyTwoBitBmpWithAllAlphaZeroBecomesOpaqueWhicheverWayItsRowsRun) {
  for (int32_t height : {2, -2}) {
    Bytes bmp = make_bmp(2, height, 32, {}, bgra_rows({0x102030, 0x405060, 0x708090, 0}));
    ASSERT_NE(image_from_memory(1, bmp.data(), static_cast<int32_t>(bmp.size())), 0) << height;
    DibView view(image_handle(1), height < 0);
    for (int y = 0; y < 2; y++)
      for (int x = 0; x < 2; x++) EXPECT_EQ(view.at(x, y)[3], 255) << height << " " << x << "," << y;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, image_handle(1));
    COLORREF top_left = GetPixel(dc, 0, 0);
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_EQ(top_left, height > 0 ? RGB(0x70, 0x80, 0x90) : RGB(0x10, 0x20, 0x30)) << height;
  }
}

TEST_F(BmpImageTest, ThirtyTwoBitBmpWithSomeAlphaKeepsItsAlphaValues) {
  Bytes bmp = make_bmp(2, 1, 32, {}, bgra_rows({0x00102030, 0x80405060}));
  ASSERT_NE(image_from_memory(2, bmp.data(), static_cast<int32_t>(bmp.size())), 0);
  DibView view(image_handle(2));
  EXPECT_EQ(view.at(0, 0)[3], 0);
  EXPECT_EQ(view.at(1, 0)[3], 0x80);
  EXPECT_EQ(image_lookup(2)->depth, 32);
}

TEST_F(BmpImageTest, RunLengthBmpIsExpandedWithinItsStatedSize) {
  // 4 x 2: the bottom row is four of colour 1; the top row two of 2, two of 1.
  Bytes runs = {4, 1, 0, 0, 2, 2, 2, 1, 0, 1};
  Bytes bmp = make_bmp(4, 2, 8, {0, 0x0000FF, 0xFF0000}, runs, BI_RLE8);
  GuardedBytes data(bmp);
  ASSERT_NE(image_from_memory(3, data.data(), data.size()), 0);
  DibView view(image_handle(3));
  EXPECT_EQ(view.row(1), Bytes({0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0}));
  EXPECT_EQ(view.row(0), Bytes({0, 0, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0, 0}));
}

TEST_F(BmpImageTest, HeadersPointingOutsideTheDataAreRefusedWithoutReadingPastIt) {
  const Bytes good = make_bmp(4, 4, 8, {0, 0xFFFFFF}, Bytes(16, 1));
  const std::vector<std::pair<const char*, std::function<void(Bytes&)>>> faults = {
      {"cut inside the pixels", [](Bytes& b) { b.pop_back(); }},
      {"cut inside the colour table", [](Bytes& b) { b.resize(14 + 40 + 6); }},
      {"cut inside the info header", [](Bytes& b) { b.resize(30); }},
      {"pixel offset past the end", [](Bytes& b) { set32(b, 10, 0x7FFFFFF0); }},
      {"info header larger than the data", [](Bytes& b) { set32(b, 14, 0xFFFFFF00); }},
      {"core header", [](Bytes& b) { set32(b, 14, 12); }},
      {"huge colour table", [](Bytes& b) { set32(b, 46, 0x40000000); }},
      {"height beyond the rows", [](Bytes& b) { set32(b, 22, 5000); }},
      {"width beyond the rows", [](Bytes& b) { set32(b, 18, 0x7FFFFFFF); }},
      {"zero width", [](Bytes& b) { set32(b, 18, 0); }},
      {"zero height", [](Bytes& b) { set32(b, 22, 0); }},
      {"seven bits per pixel", [](Bytes& b) { b[28] = 7; }},
      {"JPEG compression", [](Bytes& b) { set32(b, 30, BI_JPEG); }},
      {"run length beyond the data", [](Bytes& b) { set32(b, 30, BI_RLE8), set32(b, 34, 4096); }},
  };
  for (const auto& fault : faults) {
    Bytes bmp = good;
    fault.second(bmp);
    GuardedBytes data(bmp);
    EXPECT_EQ(image_from_memory(4, data.data(), data.size()), 0) << fault.first;
    EXPECT_EQ(image_handle(4), nullptr) << fault.first;
  }
  EXPECT_NE(image_from_memory(4, good.data(), static_cast<int32_t>(good.size())), 0);
}

// ICO file images with one solid colour per entry.
struct IconEntry {
  int size, bit_count;
  uint32_t colour;  // 0xRRGGBB
};

Bytes icon_picture(const IconEntry& e) {
  Bytes b;
  put_info_header(b, e.size, e.size * 2, e.bit_count);
  int stride = ((e.size * e.bit_count + 31) / 32) * 4;
  Bytes row;
  if (e.bit_count <= 8) {
    for (int i = 0; i < (1 << e.bit_count); i++) put32(b, i == 1 ? e.colour : 0);
    for (int x = 0; x < e.size; x++) {  // every pixel takes colour 1
      int bit = x * e.bit_count;
      if (row.size() <= static_cast<size_t>(bit / 8)) row.push_back(0);
      row[bit / 8] |= static_cast<uint8_t>(1 << (8 - e.bit_count - bit % 8));
    }
  } else {
    for (int x = 0; x < e.size; x++) put32(row, 0xFF000000u | e.colour);
  }
  row.resize(stride);
  for (int y = 0; y < e.size; y++) b.insert(b.end(), row.begin(), row.end());
  b.insert(b.end(), static_cast<size_t>(((e.size + 31) / 32) * 4) * e.size, 0);  // mask: all shown
  return b;
}

Bytes make_ico(const std::vector<IconEntry>& entries) {
  Bytes b;
  put16(b, 0);
  put16(b, 1);
  put16(b, static_cast<uint32_t>(entries.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(entries.size());
  std::vector<Bytes> pictures;
  for (const IconEntry& e : entries) {
    pictures.push_back(icon_picture(e));
    b.push_back(static_cast<uint8_t>(e.size));
    b.push_back(static_cast<uint8_t>(e.size));
    put16(b, 0);
    put16(b, 1);
    put16(b, e.bit_count);
    put32(b, static_cast<uint32_t>(pictures.back().size()));
    put32(b, offset);
    offset += static_cast<uint32_t>(pictures.back().size());
  }
  for (const Bytes& p : pictures) b.insert(b.end(), p.begin(), p.end());
  return b;
}

// The colour in the middle of the icon drawn at its own size, as 0xRRGGBB.
uint32_t drawn_colour(HICON icon, int size) {
  HBITMAP target = create_dib_section(64, 64, 32);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, target);
  DrawIconEx(dc, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
  COLORREF c = GetPixel(dc, size / 2, size / 2);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(target);
  return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

using IconImageTest = ImageTest;

TEST_F(IconImageTest, ChoosesTheDeepestEntryOfTheFirstEntrysSizeTheEarlierOfEquals) {
  struct Case {
    const char* name;
    std::vector<IconEntry> entries;
    int size;
    uint32_t colour;
  };
  const Case cases[] = {
      {"16 x 16 at 32 bits", {{16, 4, 0xFF0000}, {16, 8, 0x00FF00}, {16, 32, 0x0000FF}, {32, 32, 0xFFFFFF}}, 16,
       0x0000FF},
      {"earlier of equals", {{16, 32, 0xFF0000}, {16, 32, 0x00FF00}}, 16, 0xFF0000},
      {"first entry's size", {{32, 8, 0x00FF00}, {16, 32, 0x0000FF}}, 32, 0x00FF00},
  };
  for (const Case& c : cases) {
    Bytes ico = make_ico(c.entries);
    GuardedBytes data(ico);
    ASSERT_NE(image_from_memory(0, data.data(), data.size()), 0) << c.name;
    const ImageObject* image = image_lookup(0);
    EXPECT_EQ(image->width, c.size) << c.name;
    EXPECT_EQ(image->height, c.size) << c.name;
    EXPECT_EQ(GetObjectType(image->handle), 0u) << "an icon, not a GDI object: " << c.name;
    EXPECT_EQ(drawn_colour(static_cast<HICON>(image->handle), c.size), c.colour) << c.name;
  }
}

TEST_F(IconImageTest, CursorsAndDirectoriesPointingOutsideTheDataAreRefused) {
  const Bytes good = make_ico({{16, 32, 0xFF0000}});  // its picture at 22
  const std::vector<std::pair<const char*, std::function<void(Bytes&)>>> faults = {
      {"cursor file", [](Bytes& b) { b[2] = 2; }},
      {"reserved field set", [](Bytes& b) { b[0] = 1; }},
      {"no entries", [](Bytes& b) { b[4] = 0; }},
      {"more entries than the data holds", [](Bytes& b) { b[4] = 200; }},
      {"entry beyond the end", [](Bytes& b) { set32(b, 6 + 12, 0x7FFFFF00); }},
      {"entry longer than the data", [](Bytes& b) { set32(b, 6 + 8, 0x10000); }},
      {"picture header claims 64 x 64", [](Bytes& b) { set32(b, 22 + 4, 64), set32(b, 22 + 8, 128); }},
      {"picture header larger than its entry", [](Bytes& b) { set32(b, 22, 0x100000); }},
      {"cut short", [](Bytes& b) { b.resize(b.size() - 1); }},
  };
  for (const auto& fault : faults) {
    Bytes ico = good;
    fault.second(ico);
    GuardedBytes data(ico);
    EXPECT_EQ(icon_from_memory(data.data(), data.size()), nullptr) << fault.first;
    EXPECT_EQ(image_from_memory(5, data.data(), data.size()), 0) << fault.first;
  }
  EXPECT_NE(icon_from_memory(good.data(), static_cast<int32_t>(good.size())), nullptr);
}

using ImageRegistryTest = ImageTest;

TEST_F(ImageRegistryTest, MakingANumberAgainReleasesItsPreviousPicture) {
  Bytes bmp = make_bmp(1, 1, 24, {}, {1, 2, 3, 0});
  HANDLE first = reinterpret_cast<HANDLE>(image_from_memory(0, bmp.data(), static_cast<int32_t>(bmp.size())));
  ASSERT_EQ(GetObjectType(first), static_cast<DWORD>(OBJ_BITMAP));
  HANDLE second = reinterpret_cast<HANDLE>(image_from_memory(0, bmp.data(), static_cast<int32_t>(bmp.size())));
  EXPECT_EQ(GetObjectType(first), 0u);
  EXPECT_EQ(image_handle(0), second);
  // A failed remake still releases the old picture and leaves no image.
  EXPECT_EQ(image_from_memory(0, "not a picture", 13), 0);
  EXPECT_EQ(GetObjectType(second), 0u);
  EXPECT_EQ(image_handle(0), nullptr);
}

TEST_F(ImageRegistryTest, AnyNumberGivesAnObjectIdAndEveryImageGoesWithFreeAll) {
  Bytes bmp = make_bmp(1, 1, 24, {}, {1, 2, 3, 0});
  const int32_t size = static_cast<int32_t>(bmp.size());
  INT_PTR any = image_from_memory(OBJECT_ANY, bmp.data(), size);
  ASSERT_NE(any, 0);
  HANDLE any_handle = image_handle(any);
  EXPECT_NE(reinterpret_cast<INT_PTR>(any_handle), any);
  EXPECT_EQ(GetObjectType(any_handle), static_cast<DWORD>(OBJ_BITMAP));
  HANDLE seven = reinterpret_cast<HANDLE>(image_from_memory(7, bmp.data(), size));
  EXPECT_EQ(image_from_memory(OBJECT_ANY, bmp.data(), 10), 0);
  EXPECT_EQ(image_from_memory(8, nullptr, size), 0);
  EXPECT_EQ(image_handle(3), nullptr);
  free_image(-1);
  free_all_images();
  EXPECT_EQ(image_handle(any), nullptr);
  EXPECT_EQ(image_handle(7), nullptr);
  EXPECT_EQ(GetObjectType(any_handle), 0u);
  EXPECT_EQ(GetObjectType(seven), 0u);
}

TEST(RowStrideTest, RowsAreWholeDwordsForEachPixelSize) {
  const struct {
    int width, bits, stride;
  } table[] = {{1, 1, 4},  {33, 1, 8},  {9, 4, 8},   {5, 8, 8},   {3, 15, 8},
               {3, 16, 8}, {3, 24, 12}, {4, 24, 12}, {3, 32, 12}, {168, 24, 504}};
  for (const auto& t : table) EXPECT_EQ(row_stride(t.width, t.bits), t.stride) << t.width << " x " << t.bits;
}

// A format of the tests' own: "QIMG" or "QBAD", then width and height bytes.
struct FakeFormat {
  static int closes, last_flags, last_stride;
  static int32_t check(DecoderState* s) {
    if (s->source_size < 6 || (memcmp(s->source, "QIMG", 4) != 0 && memcmp(s->source, "QBAD", 4) != 0)) return 0;
    s->width = s->source[4];
    s->height = s->source[5];
    s->depth = 24;
    s->source_depth = 7;
    return 1;
  }
  // Source row r is filled with r + 1; "QBAD" fails after the first row.
  static int32_t decode(DecoderState* s, void* pixels, int32_t stride, int32_t flags) {
    last_flags = flags;
    last_stride = stride;
    auto* p = static_cast<uint8_t*>(pixels);
    for (int r = 0; r < s->height; r++) {
      memset(p + static_cast<size_t>(s->height - 1 - r) * stride, r + 1, s->width * 3);
      if (s->source[1] == 'B') return 0;
    }
    return 1;
  }
  static void close(DecoderState*) { closes++; }
};
int FakeFormat::closes, FakeFormat::last_flags, FakeFormat::last_stride;

using DecoderTableTest = ImageTest;

TEST_F(DecoderTableTest, AcceptedSourceIsDecodedBottomUpAndAFailingDecodeLeavesNoImage) {
  static ImageDecoder fake = {FakeFormat::check, FakeFormat::decode, FakeFormat::close};
  register_image_decoder(&fake);
  const uint8_t good[] = {'Q', 'I', 'M', 'G', 5, 3}, bad[] = {'Q', 'B', 'A', 'D', 5, 3};
  ASSERT_NE(image_from_memory(0, good, sizeof good), 0);
  EXPECT_EQ(FakeFormat::closes, 1);
  EXPECT_EQ(FakeFormat::last_flags, DECODE_BOTTOM_UP);
  EXPECT_EQ(FakeFormat::last_stride, 16);
  EXPECT_EQ(image_lookup(0)->source_depth, 7);
  DibView view(image_handle(0));
  EXPECT_EQ(view.at(4, 0)[0], 1);  // the first source row on top
  EXPECT_EQ(view.at(0, 2)[2], 3);
  EXPECT_EQ(image_from_memory(1, bad, sizeof bad), 0);
  EXPECT_EQ(FakeFormat::closes, 2);
  EXPECT_EQ(image_handle(1), nullptr);
}

TEST_F(DecoderTableTest, AFullTableIgnoresFurtherDecoders) {
  static int asked = 0;
  static ImageDecoder refusing = {[](DecoderState*) -> int32_t { return 0; }, nullptr, nullptr};
  static ImageDecoder greedy = {[](DecoderState*) -> int32_t { return ++asked; }, nullptr, nullptr};
  for (int i = 0; i < IMAGE_DECODER_LIMIT; i++) register_image_decoder(&refusing);
  register_image_decoder(&greedy);
  EXPECT_EQ(find_image_decoder("anything", 8), 0);
  EXPECT_EQ(asked, 0);
}

}  // namespace
