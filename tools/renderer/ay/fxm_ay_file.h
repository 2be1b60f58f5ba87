// A Fuxoft AY Language tune kept in an AY file ("ZXAYAMAD") rather than in
// its own FXSM file: the same data block, with the song's name and author.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kFxmAyFormat;

}  // namespace tools::ay
