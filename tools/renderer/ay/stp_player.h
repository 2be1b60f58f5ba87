// Sound Tracker Pro (KSA, 1996): compiled modules as the editor saves them,
// not yet bound to a load address by the player's initialisation. Modules
// that keep the "KSA SOFTWARE COMPILATION OF " text of the compiled player
// give its title.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kStpFormat;

}  // namespace tools::ay
