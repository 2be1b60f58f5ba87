// Icons from ICO file images: the directory of 16-byte entries after the
// 6-byte header, each pointing at a DIB (header, colour table, colour rows,
// mask rows) or at a PNG stream.
#include <cstring>

#include "runtime/image/image.h"

static uint32_t read_u32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
static uint16_t read_u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct IconPicture {
  const uint8_t* bytes;
  uint32_t byte_count;
  int32_t width;      // as Windows is to make it
  int32_t height;
  int32_t bit_count;  // of the DIB header; 0 for a PNG entry
};

static uint64_t dib_row_bytes(uint64_t width, uint32_t bit_count) { return (width * bit_count + 31) / 32 * 4; }

// The picture of a DIB entry, whose height counts the colour and the mask
// rows together; false when its parts do not fit in the entry's bytes.
static bool read_dib_picture(IconPicture* picture) {
  const uint8_t* h = picture->bytes;
  uint32_t header_size = read_u32(h);
  if (header_size < 40 || header_size > picture->byte_count) return false;
  int32_t width = static_cast<int32_t>(read_u32(h + 4));
  int32_t height = static_cast<int32_t>(read_u32(h + 8));
  uint32_t bit_count = read_u16(h + 14);
  uint32_t colours_used = read_u32(h + 32);
  if (width <= 0 || height < 2) return false;
  if (bit_count != 1 && bit_count != 4 && bit_count != 8 && bit_count != 16 && bit_count != 24 && bit_count != 32)
    return false;
  uint64_t table = colours_used;
  if (bit_count <= 8 && table == 0) table = 1u << bit_count;
  uint64_t rows = static_cast<uint64_t>(height) / 2;
  uint64_t needed = header_size + table * 4 + dib_row_bytes(width, bit_count) * rows + dib_row_bytes(width, 1) * rows;
  if (needed > picture->byte_count) return false;
  picture->width = width;
  picture->height = height / 2;
  picture->bit_count = static_cast<int32_t>(bit_count);
  return true;
}

// The entry to show: among those of the first entry's size, the most bits
// per pixel; the earlier of equals.
static int32_t choose_entry(const uint8_t* directory, int32_t count) {
  int32_t chosen = 0;
  for (int32_t i = 1; i < count; i++) {
    const uint8_t* entry = directory + 16 * i;
    const uint8_t* best = directory + 16 * chosen;
    if (entry[0] == directory[0] && entry[1] == directory[1] && read_u16(entry + 6) > read_u16(best + 6))
      chosen = i;
  }
  return chosen;
}

HICON icon_from_memory(const void* data, int32_t size) {
  if (!data || size < 6) return nullptr;
  const uint8_t* m = static_cast<const uint8_t*>(data);
  // Type 2 would be a cursor file.
  if (read_u16(m) != 0 || read_u16(m + 2) != 1) return nullptr;
  int32_t count = read_u16(m + 4);
  if (count == 0 || 6 + 16 * static_cast<int64_t>(count) > size) return nullptr;

  const uint8_t* entry = m + 6 + 16 * choose_entry(m + 6, count);
  uint32_t byte_count = read_u32(entry + 8);
  uint32_t offset = read_u32(entry + 12);
  if (byte_count < 40 || static_cast<uint64_t>(offset) + byte_count > static_cast<uint64_t>(size)) return nullptr;

  IconPicture picture = {m + offset, byte_count, 0, 0, 0};
  if (memcmp(picture.bytes, kPngSignature, sizeof kPngSignature) == 0) {
    // A PNG entry has no DIB header to size it; the directory does (0 is 256).
    picture.width = entry[0] ? entry[0] : 256;
    picture.height = entry[1] ? entry[1] : 256;
  } else if (!read_dib_picture(&picture)) {
    return nullptr;
  }

  // The resource reader wants a block of its own, suitably aligned.
  auto* block = static_cast<BYTE*>(GlobalAlloc(GMEM_FIXED, byte_count));
  if (!block) return nullptr;
  memcpy(block, picture.bytes, byte_count);
  HICON icon = CreateIconFromResourceEx(block, byte_count, TRUE, 0x00030000, picture.width, picture.height,
                                        LR_DEFAULTCOLOR);
  if (!icon && picture.bit_count != 16) icon = CreateIconFromResource(block, byte_count, TRUE, 0x00030000);
  GlobalFree(block);
  return icon;
}
