// SQ-Tracker (Jiri Koudelka, 1993): compiled modules without their player.
// Every channel of a position plays a pattern of its own; samples and
// ornaments are 32 frames long with an optional loop, as in Sound Tracker.
// The format stores no title or author.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kSqtFormat;

}  // namespace tools::ay
