// VTX: V_Soft's register dumps: a header with the chip, the stereo layout,
// the clock, the player rate, the loop frame and five texts, then the
// YM3-style register block packed as a bare -lh5- stream.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kVtxFormat;

}  // namespace tools::ay
