// AdLib tunes (RAD, D00, HSC, A2M, CMF, DRO, IMF and the rest of AdPlug's
// list) on AdPlug with an emulated OPL3.
#pragma once

#include "tools/renderer/tune.h"

namespace tools {

std::unique_ptr<Tune> open_adplug_tune(const std::vector<uint8_t>& data, const std::string& path,
                                       std::string* error);

// "AdPlug 2.3.3".
std::string adplug_version();

}  // namespace tools
