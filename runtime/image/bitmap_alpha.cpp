#include "runtime/image/bitmap_alpha.h"

#include <cstring>

#include "runtime/image/image_decoder.h"
#include "runtime/window/alpha_blend.h"
#include "runtime/window/runtime_heap.h"

// A 32-bit BI_RGB description of `width` x `height` (negative: top-down).
static BITMAPINFO info_32(int32_t width, int32_t height) {
  BITMAPINFO info;
  memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

void* bitmap_pixels_32(HBITMAP bitmap, int32_t* owned) {
  BITMAP bm;
  if (!GetObjectA(bitmap, sizeof bm, &bm)) return nullptr;
  if (bm.bmBits) {
    *owned = 0;
    return bm.bmBits;
  }
  *owned = 1;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return nullptr;
  void* pixels = runtime_alloc(static_cast<size_t>(row_stride(bm.bmWidth, 32)) * bm.bmHeight);
  BITMAPINFO info = info_32(bm.bmWidth, -bm.bmHeight);
  if (pixels && !GetDIBits(dc, bitmap, 0, bm.bmHeight, pixels, &info, DIB_RGB_COLORS)) {
    runtime_free(pixels);
    pixels = nullptr;
  }
  DeleteDC(dc);
  return pixels;
}

int32_t bitmap_has_alpha(HGDIOBJ object) {
  if (!alpha_blend_entry || GetObjectType(object) != OBJ_BITMAP) return 0;
  DIBSECTION dib;
  // A DIB section of 32 bits is taken as meant to carry alpha, whatever its
  // alpha bytes hold at this moment.
  if (GetObjectA(object, sizeof dib, &dib) == sizeof dib) return dib.dsBm.bmBitsPixel == 32 ? 1 : 0;
  BITMAP bm;
  if (!GetObjectA(object, sizeof bm, &bm) || bm.bmBitsPixel != 32) return 0;
  int32_t owned = 0;
  auto* pixels = static_cast<const uint32_t*>(bitmap_pixels_32(static_cast<HBITMAP>(object), &owned));
  if (!pixels) return 0;
  int32_t found = 0;
  size_t count = static_cast<size_t>(bm.bmWidth) * bm.bmHeight;  // 32-bit rows have no padding
  for (size_t i = 0; i < count && !found; i++)
    if (pixels[i] > 0x00FFFFFF) found = 1;
  if (owned) runtime_free(const_cast<uint32_t*>(pixels));
  return found;
}

// AlphaBlend's source format. A shift rather than a division by 255: cheap,
// and a pixel of alpha 255 is left alone anyway.
static void premultiply(uint8_t* pixels, size_t count) {
  for (size_t i = 0; i < count; i++, pixels += 4) {
    uint32_t alpha = pixels[3];
    if (alpha == 255) continue;
    pixels[0] = static_cast<uint8_t>((pixels[0] * alpha) >> 8);
    pixels[1] = static_cast<uint8_t>((pixels[1] * alpha) >> 8);
    pixels[2] = static_cast<uint8_t>((pixels[2] * alpha) >> 8);
  }
}

HBITMAP make_alpha_copy(HBITMAP bitmap, HDC dc) {
  if (!alpha_blend_entry) return nullptr;
  HDC own_dc = dc ? nullptr : CreateCompatibleDC(nullptr);
  HDC use_dc = dc ? dc : own_dc;
  if (!use_dc) return nullptr;
  HBITMAP copy = nullptr;
  BITMAP bm;
  if (GetObjectA(bitmap, sizeof bm, &bm)) {
    BITMAPINFO info = info_32(bm.bmWidth, bm.bmHeight);
    void* bits = nullptr;
    copy = CreateDIBSection(use_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (copy && GetDIBits(use_dc, bitmap, 0, bm.bmHeight, bits, &info, DIB_RGB_COLORS)) {
      premultiply(static_cast<uint8_t*>(bits), static_cast<size_t>(bm.bmWidth) * bm.bmHeight);
    } else if (copy) {
      DeleteObject(copy);
      copy = nullptr;
    }
  }
  if (own_dc) DeleteDC(own_dc);
  return copy;
}

void delete_alpha_copy(HBITMAP copy) {
  if (alpha_blend_entry && copy) DeleteObject(copy);
}

void draw_alpha_bitmap(HDC target, int32_t x, int32_t y, int32_t width, int32_t height, HBITMAP bitmap,
                       HDC memory_dc, int32_t opacity) {
  if (!alpha_blend_entry) return;
  if (width == 0 || height == 0) {
    BITMAP bm;
    if (GetObjectA(bitmap, sizeof bm, &bm)) {
      width = bm.bmWidth;
      height = bm.bmHeight;
    }
  }
  HDC own_dc = memory_dc ? nullptr : CreateCompatibleDC(target);
  HDC source = memory_dc ? memory_dc : own_dc;
  if (!source) return;
  HGDIOBJ previous = SelectObject(source, bitmap);
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, static_cast<BYTE>(opacity & 0xFF), AC_SRC_ALPHA};
  alpha_blend_entry(target, x, y, width, height, source, 0, 0, width, height, blend);
  if (previous) SelectObject(source, previous);
  if (own_dc) DeleteDC(own_dc);
}
