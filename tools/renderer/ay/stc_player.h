// Sound Tracker modules as its compiler writes them (STC).
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kStcFormat;

}  // namespace tools::ay
