// Sound Tracker's own songs as the editor saves them (its memory from
// 25000 on), alone or inside an AY file of type ST11.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kSt1Format;

}  // namespace tools::ay
