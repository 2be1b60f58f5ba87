// Pro Tracker 3.x modules (and Vortex Tracker II's, which share the
// format), including the two TurboSound layouts: Pro Tracker 3.7's, where
// the second chip plays the patterns counted from the other end, and
// Vortex Tracker's, two whole modules one after the other with a footer.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kPt3Format;

}  // namespace tools::ay
