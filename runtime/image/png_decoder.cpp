#include "runtime/image/png_decoder.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

static ImageDecoder png_decoder = {check_png, decode_png, close_png};

void register_png_decoder() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  register_image_decoder(&png_decoder);
}

static png_structp read_struct_of(DecoderState* state) { return static_cast<png_structp>(state->read_struct); }
static png_infop info_struct_of(DecoderState* state) { return static_cast<png_infop>(state->info_struct); }

// libpng's read callback. The bytes come from the shared state's cursor; a
// request past the caller's size is a truncated file, reported as a libpng
// error so that it unwinds to the trap.
static void read_png_bytes(png_structp png, png_bytep destination, png_size_t length) {
  DecoderState* state = decoder_state();
  size_t consumed = static_cast<size_t>(state->read_cursor - state->source);
  size_t remaining = static_cast<size_t>(state->source_size) - consumed;
  if (length > remaining) png_error(png, "PNG data ends early");
  memcpy(destination, state->read_cursor, length);
  state->read_cursor += length;
}

void close_png(DecoderState* state) {
  png_structp png = read_struct_of(state);
  png_infop info = info_struct_of(state);
  if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  state->read_struct = nullptr;
  state->info_struct = nullptr;
}

// Every transform goes in before png_read_update_info: libpng 1.6 turns a
// later png_set_strip_16 into an error, and it counts an interlaced image's
// rows at that call.
static void request_transforms(png_structp png, png_infop info) {
  png_uint_32 width, height;
  int bit_depth, color_type;
  png_get_IHDR(png, info, &width, &height, &bit_depth, &color_type, nullptr, nullptr, nullptr);
  if (color_type == PNG_COLOR_TYPE_PALETTE || color_type == PNG_COLOR_TYPE_GRAY ||
      color_type == PNG_COLOR_TYPE_GRAY_ALPHA) {
    if (bit_depth < 8) png_set_expand(png);
    if (color_type == PNG_COLOR_TYPE_PALETTE)
      png_set_palette_to_rgb(png);
    else
      png_set_gray_to_rgb(png);
  }
  if (bit_depth == 16) png_set_strip_16(png);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
}

static int32_t source_depth_of(int bit_depth, int color_type) {
  if (color_type == PNG_COLOR_TYPE_PALETTE || color_type == PNG_COLOR_TYPE_GRAY ||
      color_type == PNG_COLOR_TYPE_GRAY_ALPHA)
    return bit_depth;
  return color_type == PNG_COLOR_TYPE_RGB ? 24 : 32;
}

int32_t check_png(DecoderState* state) {
  if (!state->source || state->source_size < 8) return 0;
  if (png_sig_cmp(state->source, 0, 8) != 0) return 0;
  // Default error and warning handlers: errors end in the long jump below.
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return 0;
  state->read_struct = png;
  state->info_struct = nullptr;
  if (setjmp(*png_set_longjmp_fn(png, longjmp, sizeof(jmp_buf)))) {
    close_png(state);
    return 0;
  }
  state->read_cursor = state->source;
  png_set_read_fn(png, nullptr, read_png_bytes);
  png_infop info = png_create_info_struct(png);
  state->info_struct = info;
  if (!info) {
    close_png(state);
    return 0;
  }
  png_read_info(png, info);
  png_uint_32 width, height;
  int bit_depth, color_type;
  png_get_IHDR(png, info, &width, &height, &bit_depth, &color_type, nullptr, nullptr, nullptr);
  state->source_depth = source_depth_of(bit_depth, color_type);
  request_transforms(png, info);
  png_get_IHDR(png, info, &width, &height, &bit_depth, &color_type, nullptr, nullptr, nullptr);
  state->width = static_cast<int32_t>(width);
  state->height = static_cast<int32_t>(height);
  state->color_type = color_type;
  state->bit_depth = bit_depth;
  state->depth = color_type == PNG_COLOR_TYPE_RGB ? 24 : 32;
  return 1;
}

int32_t decode_png(DecoderState* state, void* pixels, int32_t stride, int32_t flags) {
  png_structp png = read_struct_of(state);
  if (!png || !pixels) return 0;
  if (setjmp(*png_set_longjmp_fn(png, longjmp, sizeof(jmp_buf)))) return 0;
  // Already requested by the check; this call only tells the pass count.
  int passes = png_set_interlace_handling(png);
  bool bottom_up = (flags & DECODE_BOTTOM_UP) != 0;
  uint8_t* first = static_cast<uint8_t*>(pixels);
  if (bottom_up) first += static_cast<size_t>(state->height - 1) * stride;
  const ptrdiff_t step = bottom_up ? -static_cast<ptrdiff_t>(stride) : stride;
  for (int pass = 0; pass < passes; pass++) {
    uint8_t* row = first;
    for (int32_t y = 0; y < state->height; y++) {
      png_bytep row_pointer = row;
      png_read_rows(png, &row_pointer, nullptr, 1);
      row += step;
    }
  }
  return 1;
}
