// Resizing of 8-bit-per-channel pixel rows: a separable two-pass filter
// (rows first, then columns) whose window widens when shrinking, so every
// source pixel contributes.
#pragma once

#include <cstdint>

constexpr int32_t RESAMPLE_CUBIC = 0;     // Mitchell-Netravali, B = C = 1/3: sharp, slight overshoot
constexpr int32_t RESAMPLE_TRIANGLE = 1;  // linear: softer, never overshoots

// Scales `source` (rows `source_stride` bytes apart, `channels` bytes per
// pixel, 1 to 4) into `destination`. Each output channel is its weighted sum
// rounded and clamped to 0..255. 1 on success; 0 for sizes below 1, an
// unknown filter or channel count, or when the runtime heap is out.
int32_t resample_pixels(const uint8_t* source, int32_t source_width, int32_t source_height, int32_t source_stride,
                        uint8_t* destination, int32_t destination_width, int32_t destination_height,
                        int32_t destination_stride, int32_t channels, int32_t filter);
