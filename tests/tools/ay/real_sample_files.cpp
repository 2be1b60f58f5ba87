#include "tests/tools/ay/real_sample_files.h"

#include <cmath>
#include <cstdint>

namespace real_samples {

namespace fs = std::filesystem;

std::vector<fs::path> files_outside(const fs::path& root, const fs::path& folder) {
  std::vector<fs::path> files;
  for (const char* collection : {"ay", "zx-more", "zx-collection"}) {
    if (!fs::is_directory(root / collection)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / collection)) {
      if (entry.is_regular_file() && entry.path().parent_path() != folder) files.push_back(entry.path());
    }
  }
  return files;
}

size_t loud_seconds(tools::Tune& tune, size_t seconds) {
  std::vector<int16_t> second(2 * tools::kSampleRate);
  size_t loud = 0;
  for (size_t s = 0; s < seconds; ++s) {
    if (tune.render(second.data(), tools::kSampleRate) != static_cast<size_t>(tools::kSampleRate)) return 0;
    double sum = 0;
    for (int16_t v : second) sum += static_cast<double>(v) * v;
    if (std::sqrt(sum / second.size()) > 300) ++loud;
  }
  return loud;
}

}  // namespace real_samples
