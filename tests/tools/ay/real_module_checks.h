// What the real-module tests of single tracker formats share: reading a
// sample file, the format that takes it first, and how much of a tune's
// opening sounds through the renderer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/tune.h"

namespace real_test {

// The file's bytes; empty when it cannot be read.
std::vector<uint8_t> read(const std::filesystem::path& path);

// The first of the engine's formats whose detection takes `bytes`, or null.
const tools::ay::Format* first_format(const std::vector<uint8_t>& bytes);

// Of the first `seconds` seconds `tune` renders, how many are well above
// the silence level (about -40 dBFS); a render that falls short ends the count.
size_t loud_seconds(tools::Tune& tune, size_t seconds);

}  // namespace real_test
