// What the real-module tests of single tracker formats share: reading a
// sample file, the other sample files a detection must leave alone, the
// format that takes a file first, and how much of a tune's opening sounds
// through the renderer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/tune.h"

namespace real_test {

// The file's bytes; empty when it cannot be read.
std::vector<uint8_t> read(const std::filesystem::path& path);

// The format's own modules: the files in the folders named `folder` of the
// ay and zx-more samples under `root` (those present), without their notes.
std::vector<std::filesystem::path> modules_in(const std::filesystem::path& root, const std::string& folder);

// Every file of the ay, zx-more and zx-collection samples under `root`
// (those present) but the ones in folders named `folder`, the format's own
// in each collection.
std::vector<std::filesystem::path> files_outside(const std::filesystem::path& root, const std::string& folder);

// The first of the engine's formats whose detection takes `bytes`, or null.
const tools::ay::Format* first_format(const std::vector<uint8_t>& bytes);

// Of the first `seconds` seconds `tune` renders, how many are well above
// the silence level (about -40 dBFS); a render that falls short ends the count.
size_t loud_seconds(tools::Tune& tune, size_t seconds);

}  // namespace real_test
