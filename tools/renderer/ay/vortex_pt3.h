// A Vortex Tracker text module turned into the Pro Tracker 3 module the
// tracker itself would save from it, so that the one Pro Tracker 3 player
// plays both forms alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/renderer/ay/vortex_text.h"

namespace tools::ay::vortex {

// Writes `module` as a Pro Tracker 3 module of its Version's digit. False,
// with the reason, when it needs more than the format's 64 KB.
bool compile_pt3(const Module& module, std::vector<uint8_t>* bytes, std::string* error);

}  // namespace tools::ay::vortex
