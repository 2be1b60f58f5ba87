// YM: Arnaud Carré's register dumps of ST-Sound (YM2!, YM3!, YM3b, YM5!,
// YM6!), as they are distributed (an LHA archive of one file) or unpacked.
// YM5 and YM6 also carry the Atari ST's timer effects and their samples.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kYmFormat;

}  // namespace tools::ay
