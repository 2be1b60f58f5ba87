// What the real-module tests of one format share: the other sample files
// its detection must leave alone, and how much of a tune sounds.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "tools/renderer/tune.h"

namespace real_samples {

// Every file of the ay, zx-more and zx-collection samples under `root`
// (those present) but the ones directly in `folder`, the format's own.
std::vector<std::filesystem::path> files_outside(const std::filesystem::path& root,
                                                 const std::filesystem::path& folder);

// Renders `seconds` seconds of `tune` and answers how many came out louder
// than about -40 dBFS; 0 when the tune stops short.
size_t loud_seconds(tools::Tune& tune, size_t seconds);

}  // namespace real_samples
