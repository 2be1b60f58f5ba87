// PSG: the log of AY register writes that ZX Spectrum and MSX emulators
// record, one marker per interrupt.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kPsgFormat;

}  // namespace tools::ay
