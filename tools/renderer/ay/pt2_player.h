// Pro Tracker 2.x modules.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kPt2Format;

}  // namespace tools::ay
