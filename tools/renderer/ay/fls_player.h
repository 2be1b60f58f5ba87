// Flash Tracker modules (FLS): Sound Tracker's samples, ornaments and
// tracks behind tables of Z80 addresses, for a load address the file does
// not hold.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kFlsFormat;

}  // namespace tools::ay
