// Fuxoft AY Language (Frantisek Fuka's music for the 128K Spectrum, and
// tunes others wrote in it): "FXSM", the address the data block loads at,
// then the block, whose first three words point at each channel's program.
// A program is byte code (notes and rests with their lengths, jumps, calls,
// loops, transposition, noise, the mixer, and the volume and pitch programs
// a note plays with). The streams never end, so a song is played until all
// three channels stand where they stood before, which is its loop.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kFxmFormat;

}  // namespace tools::ay
