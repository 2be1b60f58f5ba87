// Sound Tracker songs as the "KSA SOFTWARE COMPILATION OF" compiler lays
// them out (ST3): Sound Tracker's samples in a form of their own, its
// ornaments and tracks, found through lists of pointers.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kSt3Format;

}  // namespace tools::ay
