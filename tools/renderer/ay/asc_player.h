// ASC Sound Master (ASM 0.xx and 1.xx/2.x): compiled modules without their
// player. Version 0 modules lack the loop position byte of the later
// header; both layouts are recognised by the consistency of their tables.
// The title and author come from the "ASM COMPILATION OF ... BY ..." text
// that compilers and collectors store between the position list and the
// pattern table.
#pragma once

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

extern const Format kAscFormat;

}  // namespace tools::ay
