// Fast Tracker modules (Sergey Matveev's tracker and Alexander Pluzhnikov's
// 1.07 rework), compiled: the text "Module: " and the name, the tempo and
// loop, 32 samples and 33 ornaments (the last a spare), then the position
// list of pattern and transposition pairs.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kFtcFormat;

}  // namespace tools::ay
