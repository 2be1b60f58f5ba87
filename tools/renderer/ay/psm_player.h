// Pro Sound Maker: compiled modules. Their header is four pointers and a
// text (often just "psm1"); the notes of their tracks are steps from the
// note before, and the tempo belongs to each pattern.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kPsmFormat;

}  // namespace tools::ay
