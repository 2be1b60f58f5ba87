// Image decoders: formats beyond BMP and ICO come in through a table of
// decoders, each a check / decode / close triple driven through one shared
// DecoderState. Also the DIB section helpers every image path uses.
#pragma once

#include <windows.h>
#include <cstdint>

constexpr int32_t DECODE_BOTTOM_UP = 2;  // first source row goes to the last row in memory
constexpr int32_t IMAGE_DECODER_LIMIT = 30;

// The one decoding in progress. Zeroed and refilled for every source.
struct DecoderState {
  struct ImageDecoder* decoder;  // the decoder whose check accepted the source
  const uint8_t* source;
  int32_t source_size;           // bytes the caller vouches for; never read past them
  int32_t width;                 // set by check
  int32_t height;
  int32_t depth;                 // 24 or 32: the DIB section to create
  // Owned by the decoder (the PNG decoder's libpng structures and cursor).
  void* read_struct;
  void* info_struct;
  const uint8_t* read_cursor;
  int32_t color_type;
  int32_t bit_depth;
  int32_t source_depth;          // bits per pixel of the source, set by check
};

struct ImageDecoder {
  // Non-zero when the source is this decoder's format; fills width, height,
  // depth and source_depth and keeps what decode needs.
  int32_t (*check)(DecoderState* state);
  // Writes the rows into `pixels`, `stride` bytes apart (DECODE_BOTTOM_UP:
  // last row in memory first). 1 on success, 0 on failure.
  int32_t (*decode)(DecoderState* state, void* pixels, int32_t stride, int32_t flags);
  // Releases whatever check and decode kept; safe after either failed.
  void (*close)(DecoderState* state);
};

// Start-up: empties the decoder table and creates the shared DecoderState.
void image_decoders_init();

// Appends a decoder (the caller keeps the record alive). A full table
// (IMAGE_DECODER_LIMIT entries) ignores further registrations.
void register_image_decoder(ImageDecoder* decoder);

// The shared state, or null before image_decoders_init.
DecoderState* decoder_state();

// Resets the state for `size` bytes at `data` and asks each decoder's check
// in registration order; 1 when one accepted (it becomes state->decoder).
int32_t find_image_decoder(const void* data, int32_t size);

// A DIB section of the accepted source's size and depth with its rows
// decoded into it; the decoder is closed either way. 0 when the section
// cannot be made or the decoder fails part-way (no half-drawn picture).
HBITMAP decode_to_dib();

// A bottom-up DIB section (top-down for a negative height) of at least 24
// bits per pixel; 0 when none can be made.
HBITMAP create_dib_section(int32_t width, int32_t height, int32_t depth);

// Bytes per DIB row for `width` pixels of `bits_per_pixel`: a multiple of 4.
int32_t row_stride(int32_t width, int32_t bits_per_pixel);
