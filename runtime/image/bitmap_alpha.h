// Bitmaps with per-pixel alpha: AlphaBlend draws them, and wants colour
// already multiplied by alpha. Pixels are 32-bit blue, green, red, alpha.
// Everything except bitmap_pixels_32 needs the AlphaBlend entry
// (alpha_blend_init); without it each answers 0 / does nothing.
#pragma once

#include <windows.h>
#include <cstdint>

// The pixels of a 32-bit bitmap, rows row_stride(width, 32) apart: a DIB
// section's own memory (*owned := 0), or a top-down copy from the runtime
// heap that the caller frees with runtime_free (*owned := 1). Null on failure.
void* bitmap_pixels_32(HBITMAP bitmap, int32_t* owned);

// 1 when `object` is a bitmap that carries alpha: any 32-bit DIB section, or
// a 32-bit device bitmap with at least one non-zero alpha byte. 0 otherwise
// (icons and other objects included).
int32_t bitmap_has_alpha(HGDIOBJ object);

// A new bottom-up 32-bit DIB section of `bitmap` with colour premultiplied
// by alpha, for draw_alpha_bitmap. `dc` is used for the pixel transfer when
// given. 0 on failure; the caller deletes it with delete_alpha_copy.
HBITMAP make_alpha_copy(HBITMAP bitmap, HDC dc);
void delete_alpha_copy(HBITMAP copy);

// Blends a premultiplied bitmap onto `target` at (x, y), at its own size
// when width or height is 0, with constant `opacity` (0 transparent .. 255).
// `memory_dc` is borrowed when given (its selection is restored).
void draw_alpha_bitmap(HDC target, int32_t x, int32_t y, int32_t width, int32_t height, HBITMAP bitmap,
                       HDC memory_dc, int32_t opacity);
