// Pro Sound Creator 1.00 to 1.07: compiled modules, which open with
// "PSC V1.0x COMPILATION OF ", the title and the author. From 1.04 on the
// sample and ornament offsets count from their tables, before that from the
// start of the module.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kPscFormat;

}  // namespace tools::ay
