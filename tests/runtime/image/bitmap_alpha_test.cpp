// Alpha detection, premultiplied copies and AlphaBlend drawing, with and
// without the AlphaBlend entry.
#include <cstring>

#include "runtime/image/bitmap_alpha.h"
#include "runtime/image/image_decoder.h"
#include "runtime/window/alpha_blend.h"
#include "runtime/window/runtime_heap.h"
#include "tests/runtime/image/image_fixture.h"

namespace {

class BitmapAlphaTest : public ImageTest {
 protected:
  void TearDown() override {
    for (HGDIOBJ o : objects_) DeleteObject(o);
    if (!alpha_blend_entry) alpha_blend_init();
    ImageTest::TearDown();
  }
  // A bottom-up 32-bit DIB section holding `pixels` (0xAARRGGBB) in screen order.
  HBITMAP section(int width, int height, const std::vector<uint32_t>& pixels) {
    HBITMAP b = create_dib_section(width, height, 32);
    objects_.push_back(b);
    DibView view(b);
    for (int y = 0; y < height; y++)
      for (int x = 0; x < width; x++) memcpy(const_cast<uint8_t*>(view.at(x, y)), &pixels[y * width + x], 4);
    return b;
  }
  // A device-dependent 32-bit bitmap (no pixel memory of its own).
  HBITMAP device_bitmap(int width, int height, const std::vector<uint32_t>& pixels) {
    HBITMAP b = CreateBitmap(width, height, 1, 32, pixels.data());
    objects_.push_back(b);
    return b;
  }
  static uint32_t pixel(HBITMAP b, int x, int y) {
    uint32_t v;
    memcpy(&v, DibView(b).at(x, y), 4);
    return v;
  }
  std::vector<HGDIOBJ> objects_;
};

TEST_F(BitmapAlphaTest, CopyIsPremultipliedByShiftingAndLeavesOpaquePixelsAlone) {
  // Blue 200, green 100, red 50, alpha 128; an opaque pixel; alpha 0; white
  // at alpha 254, where a shift and a division by 255 part.
  HBITMAP source = section(4, 1, {0x803264C8, 0xFF1E140A, 0x00465A50, 0xFEFFFFFF});
  HDC dc = CreateCompatibleDC(nullptr);
  for (HDC given : {static_cast<HDC>(nullptr), dc}) {
    HBITMAP copy = make_alpha_copy(source, given);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Bytes(DibView(copy).at(0, 0), DibView(copy).at(0, 0) + 4), Bytes({100, 50, 25, 128}));
    EXPECT_EQ(pixel(copy, 1, 0), 0xFF1E140Au);
    EXPECT_EQ(pixel(copy, 2, 0), 0u);
    EXPECT_EQ(pixel(copy, 3, 0), 0xFEFDFDFDu);
    delete_alpha_copy(copy);
    EXPECT_EQ(GetObjectType(copy), 0u);
  }
  EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC)) << "a given context is kept";
  DeleteDC(dc);
}

TEST_F(BitmapAlphaTest, AnyThirtyTwoBitSectionCarriesAlphaADeviceBitmapOnlyWithNonZeroAlpha) {
  EXPECT_EQ(bitmap_has_alpha(section(2, 1, {0, 0x00FFFFFF})), 1);
  EXPECT_EQ(bitmap_has_alpha(create_dib_section(2, 2, 24)), 0);
  EXPECT_EQ(bitmap_has_alpha(device_bitmap(2, 1, {0x00FFFFFF, 0x00102030})), 0);
  EXPECT_EQ(bitmap_has_alpha(device_bitmap(2, 1, {0x00FFFFFF, 0x01000000})), 1);
  EXPECT_EQ(bitmap_has_alpha(LoadIcon(nullptr, IDI_APPLICATION)), 0);
  EXPECT_EQ(bitmap_has_alpha(GetStockObject(BLACK_BRUSH)), 0);
}

TEST_F(BitmapAlphaTest, PixelsOfASectionAreItsOwnThoseOfADeviceBitmapAnOwnedTopDownCopy) {
  HBITMAP dib = section(1, 1, {0x12345678});
  int32_t owned = -1;
  EXPECT_EQ(bitmap_pixels_32(dib, &owned), DibView(dib).dib.dsBm.bmBits);
  EXPECT_EQ(owned, 0);
  auto* copy = static_cast<uint32_t*>(bitmap_pixels_32(device_bitmap(2, 2, {1, 2, 3, 0x80000004}), &owned));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(owned, 1);
  EXPECT_EQ(std::vector<uint32_t>(copy, copy + 4), std::vector<uint32_t>({1, 2, 3, 0x80000004}));
  runtime_free(copy);
  EXPECT_EQ(bitmap_pixels_32(nullptr, &owned), nullptr);
}

TEST_F(BitmapAlphaTest, DrawingBlendsAtTheBitmapsOwnSizeWhenGivenNone) {
  HBITMAP target = section(4, 4, std::vector<uint32_t>(16, 0xFF0000C8));  // opaque blue 200
  HBITMAP copy = make_alpha_copy(section(2, 2, std::vector<uint32_t>(4, 0x80C80000)), nullptr);  // red 200, half
  objects_.push_back(copy);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, target);
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ memory_previous = GetCurrentObject(memory, OBJ_BITMAP);
  draw_alpha_bitmap(dc, 1, 1, 0, 0, copy, nullptr, 255);
  draw_alpha_bitmap(dc, 0, 3, 1, 1, copy, memory, 0);  // fully transparent
  SelectObject(dc, previous);
  DeleteDC(dc);
  EXPECT_EQ(GetCurrentObject(memory, OBJ_BITMAP), memory_previous) << "the borrowed context is restored";
  DeleteDC(memory);
  const uint8_t* blended = DibView(target).at(2, 2);
  EXPECT_NEAR(blended[2], 100, 2);  // premultiplied red 100 over ...
  EXPECT_NEAR(blended[0], 100, 2);  // ... blue 200 at half strength
  for (auto xy : {std::make_pair(0, 0), std::make_pair(3, 3), std::make_pair(0, 3)})
    EXPECT_EQ(pixel(target, xy.first, xy.second), 0xFF0000C8u) << xy.first << "," << xy.second;
}

TEST_F(BitmapAlphaTest, WithoutAlphaBlendNothingIsDetectedCopiedOrDrawn) {
  HBITMAP with_alpha = section(1, 1, {0x80FFFFFF});
  HBITMAP target = section(1, 1, {0xFF000000});
  alpha_blend_release();
  alpha_blend_init_from("quarvo-no-such-library.dll");
  ASSERT_EQ(alpha_blend_entry, nullptr);
  EXPECT_EQ(bitmap_has_alpha(with_alpha), 0);
  EXPECT_EQ(make_alpha_copy(with_alpha, nullptr), nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, target);
  draw_alpha_bitmap(dc, 0, 0, 0, 0, with_alpha, nullptr, 255);
  SelectObject(dc, previous);
  DeleteDC(dc);
  EXPECT_EQ(pixel(target, 0, 0), 0xFF000000u);
  int32_t owned;
  EXPECT_NE(bitmap_pixels_32(with_alpha, &owned), nullptr) << "needs no AlphaBlend";
}

}  // namespace
