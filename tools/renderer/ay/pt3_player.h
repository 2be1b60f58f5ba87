// Pro Tracker 3.x modules (and Vortex Tracker II's, which share the
// format), including the two TurboSound layouts: Pro Tracker 3.7's, where
// the second chip plays the patterns counted from the other end, and
// Vortex Tracker's, two whole modules one after the other with a footer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kPt3Format;

// Plays whole Pro Tracker 3 modules side by side, module i on chip i, the
// first one's position list leading, into song->frames and song->chips;
// the clock, rate and texts are the caller's (set the rate first: it sets
// the cap). False with a reason when a module is not one or plays nothing.
bool play_pt3_side_by_side(const std::vector<std::vector<uint8_t>>& modules, AySong* song, std::string* error);

}  // namespace tools::ay
