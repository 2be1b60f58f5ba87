// Global Tracker 1.x modules.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kGtrFormat;

}  // namespace tools::ay
