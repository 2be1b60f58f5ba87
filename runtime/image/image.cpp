#include "runtime/image/image.h"

#include <cstring>

#include "runtime/image/image_decoder.h"

static ObjectRegistry* images;

static void release_image_number(int32_t number) { free_image(number); }

void image_library_init() { images = registry_create(sizeof(ImageObject), 16, release_image_number); }

static uint32_t read_u32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
static uint16_t read_u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The BMP's header fields, once they are known to describe bytes that exist.
struct BmpLayout {
  int32_t width;
  int32_t height;  // negative for top-down rows
  int32_t bit_count;
  uint32_t pixel_offset;
};

static uint64_t dib_row_bytes(uint64_t width, uint32_t bit_count) { return (width * bit_count + 31) / 32 * 4; }

// False for a header that GDI would have to read beyond the data to use:
// the info header, its masks and colour table, and the pixel rows must all
// lie inside `size` bytes.
static bool read_bmp_layout(const uint8_t* m, int32_t size, BmpLayout* out) {
  const uint64_t s = static_cast<uint64_t>(size);
  if (s < 14 + 40) return false;
  const uint8_t* info = m + 14;
  uint32_t header_size = read_u32(info);
  if (header_size < 40 || 14 + static_cast<uint64_t>(header_size) > s) return false;
  int32_t width = static_cast<int32_t>(read_u32(info + 4));
  int32_t height = static_cast<int32_t>(read_u32(info + 8));
  uint32_t bit_count = read_u16(info + 14);
  uint32_t compression = read_u32(info + 16);
  uint32_t image_size = read_u32(info + 20);
  uint32_t colours_used = read_u32(info + 32);
  if (width <= 0 || height == 0 || height == INT32_MIN) return false;
  bool known_depth = bit_count == 1 || bit_count == 4 || bit_count == 8 || bit_count == 16 ||
                     bit_count == 24 || bit_count == 32;
  if (!known_depth) return false;
  bool run_length = (compression == BI_RLE8 && bit_count == 8) || (compression == BI_RLE4 && bit_count == 4);
  bool bit_fields = compression == BI_BITFIELDS && (bit_count == 16 || bit_count == 32);
  if (compression != BI_RGB && !run_length && !bit_fields) return false;
  // Run-length rows run bottom-up only.
  if (run_length && height < 0) return false;

  uint64_t table = colours_used;
  if (bit_count <= 8 && table == 0) table = 1u << bit_count;
  uint64_t masks = (bit_fields && header_size == 40) ? 12 : 0;
  if (14 + static_cast<uint64_t>(header_size) + masks + table * 4 > s) return false;

  uint64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
  uint64_t pixel_bytes = run_length ? image_size : dib_row_bytes(width, bit_count) * rows;
  if (run_length && image_size == 0) return false;
  uint32_t offset = read_u32(m + 10);
  if (static_cast<uint64_t>(offset) + pixel_bytes > s) return false;

  out->width = width;
  out->height = height;
  out->bit_count = static_cast<int32_t>(bit_count);
  out->pixel_offset = offset;
  return true;
}

// A 32-bit BMP written by a program that knows nothing of alpha leaves every
// alpha byte 0, which would draw as fully transparent: make it opaque.
static void repair_zero_alpha(HBITMAP section, int32_t width, int32_t height) {
  BITMAP bm;
  if (!GetObjectA(section, sizeof bm, &bm) || !bm.bmBits) return;
  int32_t rows = height < 0 ? -height : height;
  int32_t stride = row_stride(bm.bmWidth, bm.bmBitsPixel);
  uint8_t* bits = static_cast<uint8_t*>(bm.bmBits);
  for (int32_t y = 0; y < rows; y++)
    for (int32_t x = 0; x < width; x++)
      if (bits[static_cast<size_t>(y) * stride + x * 4 + 3] != 0) return;
  for (int32_t y = 0; y < rows; y++)
    for (int32_t x = 0; x < width; x++) bits[static_cast<size_t>(y) * stride + x * 4 + 3] = 255;
}

static HBITMAP bitmap_from_bmp(const uint8_t* m, int32_t size, int32_t* source_depth) {
  BmpLayout bmp;
  if (!read_bmp_layout(m, size, &bmp)) return nullptr;
  int32_t depth = bmp.bit_count < 24 ? 24 : bmp.bit_count;
  HBITMAP section = create_dib_section(bmp.width, bmp.height, depth);
  if (!section) return nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  int lines = 0;
  if (dc) {
    UINT rows = static_cast<UINT>(bmp.height < 0 ? -bmp.height : bmp.height);
    lines = SetDIBits(dc, section, 0, rows, m + bmp.pixel_offset, reinterpret_cast<const BITMAPINFO*>(m + 14),
                      DIB_RGB_COLORS);
    DeleteDC(dc);
  }
  // GDI refusing the pixels would leave a black picture passing for the file.
  if (lines == 0) {
    DeleteObject(section);
    return nullptr;
  }
  if (depth == 32) repair_zero_alpha(section, bmp.width, bmp.height);
  *source_depth = bmp.bit_count;
  return section;
}

// The bitmap that says how large an icon is: its colour bitmap, or for a
// monochrome icon the mask, which holds the AND and XOR halves one above
// the other.
static bool icon_measure(HICON icon, BITMAP* out) {
  ICONINFO info;
  if (!GetIconInfo(icon, &info)) return false;
  bool ok;
  if (info.hbmColor) {
    ok = GetObjectA(info.hbmColor, sizeof *out, out) != 0;
  } else {
    ok = GetObjectA(info.hbmMask, sizeof *out, out) != 0;
    out->bmHeight /= 2;
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return ok;
}

// Makes the picture and measures it; false leaves nothing behind.
static bool make_picture(const uint8_t* m, int32_t size, ImageObject* image) {
  BITMAP bm;
  HANDLE handle = nullptr;
  int32_t source_depth = 0;
  bool is_icon = false;
  if (size >= 2 && read_u16(m) == 0x4D42) {  // "BM"
    handle = bitmap_from_bmp(m, size, &source_depth);
  } else if (HICON icon = icon_from_memory(m, size)) {
    handle = icon;
    is_icon = true;
  } else if (find_image_decoder(m, size)) {
    handle = decode_to_dib();
    if (handle) source_depth = decoder_state()->source_depth;
  }
  if (!handle) return false;

  bool measured = is_icon ? icon_measure(static_cast<HICON>(handle), &bm) : GetObjectA(handle, sizeof bm, &bm) != 0;
  // The record keeps sizes in 16 bits; a larger picture would be misreported.
  if (!measured || bm.bmWidth > 0xFFFF || bm.bmHeight > 0xFFFF) {
    if (is_icon)
      DestroyIcon(static_cast<HICON>(handle));
    else
      DeleteObject(handle);
    return false;
  }
  if (is_icon) source_depth = bm.bmBitsPixel;
  image->width = static_cast<uint16_t>(bm.bmWidth);
  image->height = static_cast<uint16_t>(bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight);
  image->depth = static_cast<uint8_t>(bm.bmBitsPixel);
  image->source_depth = static_cast<uint8_t>(source_depth);
  image->handle = handle;  // last: the record is live from here
  return true;
}

INT_PTR image_from_memory(int32_t number, const void* data, int32_t size) {
  auto* image = static_cast<ImageObject*>(registry_allocate(images, number));
  if (!image) return 0;
  if (data && size > 0 && make_picture(static_cast<const uint8_t*>(data), size, image)) {
    return number == OBJECT_ANY ? reinterpret_cast<INT_PTR>(image) : reinterpret_cast<INT_PTR>(image->handle);
  }
  if (number == OBJECT_ANY) registry_free(images, reinterpret_cast<ObjectId>(image));
  return 0;
}

const ImageObject* image_lookup(ObjectId id) { return static_cast<const ImageObject*>(registry_lookup(images, id)); }

HANDLE image_handle(ObjectId id) {
  const ImageObject* image = image_lookup(id);
  return image ? image->handle : nullptr;
}

void free_image(ObjectId id) {
  if (id == OBJECT_ANY) return;
  const ImageObject* image = image_lookup(id);
  if (!image) return;
  if (GetObjectType(image->handle) == OBJ_BITMAP)
    DeleteObject(image->handle);
  else
    DestroyIcon(static_cast<HICON>(image->handle));
  registry_free(images, id);
}

void free_all_images() {
  if (!images) return;
  registry_first(images);
  ObjectId id;
  while (registry_next(images, &id)) free_image(id);
}
