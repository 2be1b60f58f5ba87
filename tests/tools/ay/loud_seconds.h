// How the real-module tests hear a rendered tune: second by second, loud
// when its RMS stands above about -40 dBFS.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/renderer/tune.h"

namespace ay_test {

// Renders the first `seconds` seconds of `tune` and counts the loud ones;
// a second the tune cannot fill counts as silent.
inline size_t loud_seconds(tools::Tune& tune, size_t seconds) {
  std::vector<int16_t> second(2 * tools::kSampleRate);
  size_t loud = 0;
  for (size_t s = 0; s < seconds; ++s) {
    if (tune.render(second.data(), tools::kSampleRate) != static_cast<size_t>(tools::kSampleRate)) continue;
    double sum = 0;
    for (int16_t v : second) sum += static_cast<double>(v) * v;
    if (std::sqrt(sum / second.size()) > 300) ++loud;
  }
  return loud;
}

}  // namespace ay_test
