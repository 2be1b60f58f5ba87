// Modules (MOD, XM, S3M, IT, MPTM and the other tracker formats) on libopenmpt.
#pragma once

#include "tools/renderer/tune.h"

namespace tools {

std::unique_ptr<Tune> open_openmpt_tune(const std::vector<uint8_t>& data, const std::string& path,
                                        std::string* error);

// "libopenmpt 0.6.9".
std::string openmpt_version();

}  // namespace tools
