// The register block that YM and VTX dumps share: one byte per register per
// frame, either frame after frame or register after register ("interleaved",
// which packs better), and R13 = 0xFF where the frame did not write it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

// Appends `count` frames (at most up to kMaxFrames in all) from `block`,
// which holds `count * width` bytes; only the first 14 registers of each
// frame go to the chip.
void append_register_block(const uint8_t* block, size_t count, size_t width, bool interleaved, AySong* song);

// The byte of register `reg` at frame `frame` in such a block.
inline uint8_t block_register(const uint8_t* block, size_t count, size_t width, bool interleaved, size_t frame,
                              size_t reg) {
  return interleaved ? block[reg * count + frame] : block[frame * width + reg];
}

}  // namespace tools::ay
