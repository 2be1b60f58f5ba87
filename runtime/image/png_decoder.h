// The PNG decoder of the image decoder table, on libpng: any PNG colour type
// and bit depth becomes 24-bit BGR, or 32-bit BGRA (straight alpha) when the
// image has alpha or a palette/low-bit grey transparency chunk.
#pragma once

#include <cstdint>

#include "runtime/image/image_decoder.h"

// Registers the decoder the first time; later calls do nothing.
void register_png_decoder();

// The decoder's operations (see ImageDecoder). check_png refuses fewer than
// 8 bytes, a wrong signature and a header libpng rejects; decode_png fails
// when libpng reports an error in the rows, a truncated source among them.
int32_t check_png(DecoderState* state);
int32_t decode_png(DecoderState* state, void* pixels, int32_t stride, int32_t flags);
void close_png(DecoderState* state);
