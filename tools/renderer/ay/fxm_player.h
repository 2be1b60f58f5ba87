// Fuxoft AY Language (Frantisek Fuka's music for the 128K Spectrum, and
// tunes others wrote in it): "FXSM", the address the data block loads at,
// then the block, whose first three words point at each channel's program.
// A program is byte code (notes and rests with their lengths, jumps, calls,
// loops, transposition, noise, the mixer, and the volume and pitch programs
// a note plays with). The streams never end, so a song is played until all
// three channels stand where they stood before, which is its loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kFxmFormat;

namespace fxm {

// Whether the three channel words of a data block loaded at `load` point
// inside it, each at a command the language has.
bool block_plausible(const uint8_t* block, size_t block_size, uint16_t load);

// Plays a data block loaded at `load` until all three channels repeat.
bool play_block(const uint8_t* block, size_t block_size, uint16_t load, AySong* song, std::string* error);

}  // namespace fxm

}  // namespace tools::ay
