// Images: numbered objects that own one picture handle, a DIB section or an
// icon, made from a BMP, ICO or decoder-supported file image in memory.
// Start-up: image_decoders_init, image_library_init, then the decoders'
// registrations; shutdown: free_all_images.
#pragma once

#include <windows.h>
#include <cstdint>

#include "runtime/window/registry.h"

// What a caller that does not know the data's length passes as its size.
constexpr int32_t IMAGE_SIZE_UNKNOWN = 10000000;

struct ImageObject {
  HANDLE handle;         // HBITMAP (a DIB section) or HICON; non-null while the image exists
  uint16_t width;        // of the bitmap (an icon: of its colour bitmap)
  uint16_t height;
  uint8_t depth;         // bits per pixel of that bitmap
  uint8_t source_depth;  // bits per pixel of the data it was made from
};

// Creates the image registry.
void image_library_init();

// Makes image `number` (its old picture is released first), or a new one for
// OBJECT_ANY, from `size` bytes at `data`: a BMP file image, an ICO file
// image, or any format a registered decoder accepts. No byte at or past
// data + size is read. Returns the picture handle, or for OBJECT_ANY the new
// image's object id; 0 on any failure, leaving no image behind.
INT_PTR image_from_memory(int32_t number, const void* data, int32_t size = IMAGE_SIZE_UNKNOWN);

// The image's HBITMAP or HICON, borrowed; 0 for an id not in use.
HANDLE image_handle(ObjectId id);

// The image's record, or null for an id not in use.
const ImageObject* image_lookup(ObjectId id);

// Releases the picture and the record; -1 or an unused id does nothing.
void free_image(ObjectId id);

// free_image for every live image.
void free_all_images();

// The icon of an ICO file image: among the entries of the first entry's size
// the one with the most bits per pixel (the earlier of equals). 0 when the
// data is no icon file, a header points outside `size` bytes, or Windows
// refuses the picture.
HICON icon_from_memory(const void* data, int32_t size);
