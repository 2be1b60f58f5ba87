// Vortex Tracker II's text modules (.vt2, .txt), for one, two or three
// chips and at the player rate and chip clock they state, played by the
// Pro Tracker 3 player.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kVortexTextFormat;

}  // namespace tools::ay
