// The two-pass resampler, on hand-made pixel rows.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "runtime/image/resample_pixels.h"

namespace {

typedef std::vector<uint8_t> Pixels;

struct Size {
  int width, height;
};

// One channel, rows without padding.
Pixels resample(const Pixels& source, Size from, Size to, int filter) {
  Pixels out(static_cast<size_t>(to.width) * to.height, 0xEE);
  EXPECT_EQ(resample_pixels(source.data(), from.width, from.height, from.width, out.data(), to.width, to.height,
                            to.width, 1, filter),
            1);
  return out;
}

TEST(ResamplePixelsTest, FlatColourStaysFlatInEveryChannelAndPaddingIsNotTouched) {
  const Size from = {5, 3};
  const int source_stride = 5 * 3 + 2, target_stride = 11 * 3 + 3;
  Pixels source(source_stride * from.height, 255);  // padding of 255 must not bleed in
  for (int y = 0; y < from.height; y++)
    for (int x = 0; x < from.width; x++) {
      source[y * source_stride + x * 3] = 10;
      source[y * source_stride + x * 3 + 1] = 128;
      source[y * source_stride + x * 3 + 2] = 0;
    }
  for (int filter : {RESAMPLE_CUBIC, RESAMPLE_TRIANGLE})
    for (Size to : {Size{11, 7}, Size{2, 2}, Size{1, 1}}) {
      Pixels out(target_stride * to.height, 0xEE);
      ASSERT_EQ(resample_pixels(source.data(), from.width, from.height, source_stride, out.data(), to.width,
                                to.height, target_stride, 3, filter),
                1);
      for (int y = 0; y < to.height; y++) {
        for (int x = 0; x < to.width; x++) {
          const uint8_t* p = &out[y * target_stride + x * 3];
          ASSERT_EQ(Pixels(p, p + 3), Pixels({10, 128, 0})) << filter << " " << to.width << ": " << x << "," << y;
        }
        EXPECT_EQ(out[y * target_stride + to.width * 3], 0xEE);
      }
    }
}

TEST(ResamplePixelsTest, TriangleAtTheSameSizeCopiesAndReproducesARampWhenEnlarging) {
  Pixels ramp = {0, 32, 64, 96, 128, 160, 192, 224};
  EXPECT_EQ(resample(ramp, {8, 1}, {8, 1}, RESAMPLE_TRIANGLE), ramp);
  // Output j sits at source position (j + 0.5) / 2 - 0.5.
  Pixels wide = resample(ramp, {8, 1}, {16, 1}, RESAMPLE_TRIANGLE);
  for (int j = 1; j < 15; j++) EXPECT_EQ(wide[j], static_cast<int>(((j + 0.5) / 2 - 0.5) * 32 + 0.5)) << j;
  Pixels tall = resample(ramp, {1, 8}, {1, 16}, RESAMPLE_CUBIC);
  for (int j = 3; j < 13; j++) EXPECT_NEAR(tall[j], ((j + 0.5) / 2 - 0.5) * 32, 1.0) << j;
}

TEST(ResamplePixelsTest, ShrinkingLetsEverySourcePixelContribute) {
  for (int filter : {RESAMPLE_CUBIC, RESAMPLE_TRIANGLE})
    for (int lit = 0; lit < 8; lit++) {
      Pixels dot(8, 0);
      dot[lit] = 255;
      EXPECT_GT(resample(dot, {8, 1}, {1, 1}, filter)[0], 0) << filter << " pixel " << lit;
    }
}

TEST(ResamplePixelsTest, CubicOvershootIsClampedNotWrapped) {
  Pixels step = {0, 0, 0, 0, 255, 255, 255, 255};
  Pixels wide = resample(step, {8, 1}, {32, 1}, RESAMPLE_CUBIC);
  for (int j = 0; j < 14; j++) EXPECT_LT(wide[j], 64) << j;
  for (int j = 18; j < 32; j++) EXPECT_GT(wide[j], 192) << j;
}

TEST(ResamplePixelsTest, RefusesEmptySizesUnknownFiltersAndChannelCounts) {
  Pixels p(64, 0), q(64, 0);
  EXPECT_EQ(resample_pixels(p.data(), 0, 1, 4, q.data(), 2, 2, 8, 1, RESAMPLE_CUBIC), 0);
  EXPECT_EQ(resample_pixels(p.data(), 2, 2, 8, q.data(), 2, 0, 8, 1, RESAMPLE_CUBIC), 0);
  EXPECT_EQ(resample_pixels(p.data(), 2, 2, 8, q.data(), 2, 2, 8, 5, RESAMPLE_CUBIC), 0);
  EXPECT_EQ(resample_pixels(p.data(), 2, 2, 8, q.data(), 2, 2, 8, 1, 7), 0);
  EXPECT_EQ(resample_pixels(nullptr, 2, 2, 8, q.data(), 2, 2, 8, 1, RESAMPLE_TRIANGLE), 0);
}

}  // namespace
