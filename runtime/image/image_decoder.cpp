#include "runtime/image/image_decoder.h"

#include <cstring>

#include "runtime/window/state_block.h"

static ImageDecoder* decoders[IMAGE_DECODER_LIMIT];
static int32_t decoder_count;
static DecoderState* shared_state;

void image_decoders_init() {
  decoder_count = 0;
  shared_state = static_cast<DecoderState*>(state_block_create(sizeof(DecoderState), nullptr, nullptr));
}

void register_image_decoder(ImageDecoder* decoder) {
  // A fixed table: one more would write past it.
  if (!decoder || decoder_count >= IMAGE_DECODER_LIMIT) return;
  decoders[decoder_count++] = decoder;
}

DecoderState* decoder_state() { return static_cast<DecoderState*>(state_block_get(shared_state)); }

int32_t find_image_decoder(const void* data, int32_t size) {
  DecoderState* state = decoder_state();
  if (!state) return 0;
  memset(state, 0, sizeof *state);
  state->source = static_cast<const uint8_t*>(data);
  state->source_size = size;
  for (int32_t i = 0; i < decoder_count; i++) {
    if (decoders[i]->check(state)) {
      state->decoder = decoders[i];
      return 1;
    }
  }
  return 0;
}

// A section of `depth` bits as given; the pixel memory comes back in `bits`.
static HBITMAP new_dib_section(int32_t width, int32_t height, int32_t depth, void** bits) {
  BITMAPINFO info;
  memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(depth);
  info.bmiHeader.biCompression = BI_RGB;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return nullptr;
  HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
  DeleteDC(dc);
  return section;
}

HBITMAP decode_to_dib() {
  DecoderState* state = decoder_state();
  if (!state || !state->decoder) return nullptr;
  ImageDecoder* decoder = state->decoder;
  void* bits = nullptr;
  HBITMAP section = new_dib_section(state->width, state->height, state->depth, &bits);
  DIBSECTION dib;
  if (!section || GetObjectA(section, sizeof dib, &dib) != sizeof dib || !dib.dsBm.bmBits) {
    if (section) DeleteObject(section);
    decoder->close(state);
    return nullptr;
  }
  int32_t stride = row_stride(dib.dsBm.bmWidth, dib.dsBm.bmBitsPixel);
  int32_t decoded = decoder->decode(state, dib.dsBm.bmBits, stride, DECODE_BOTTOM_UP);
  decoder->close(state);
  // A truncated or corrupt source would otherwise pass for a picture with
  // its lower part black.
  if (!decoded) {
    DeleteObject(section);
    return nullptr;
  }
  return section;
}

HBITMAP create_dib_section(int32_t width, int32_t height, int32_t depth) {
  void* bits = nullptr;
  return new_dib_section(width, height, depth < 24 ? 24 : depth, &bits);
}

int32_t row_stride(int32_t width, int32_t bits_per_pixel) {
  switch (bits_per_pixel) {
    case 1: return ((width + 31) / 32) * 4;
    case 4: return ((width + 7) / 8) * 4;
    case 8: return ((width + 3) / 4) * 4;
    case 15:
    case 16: return ((width + 1) / 2) * 4;
    case 24: return ((3 * width + 3) / 4) * 4;
    default: return width * 4;
  }
}
