#include "tests/tools/ay/real_module_checks.h"

#include <cmath>
#include <fstream>
#include <iterator>

namespace real_test {

std::vector<uint8_t> read(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::filesystem::path> modules_in(const std::filesystem::path& root, const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  for (const char* collection : {"ay", "zx-more"}) {
    if (!fs::is_directory(root / collection / folder)) continue;
    for (const auto& entry : fs::directory_iterator(root / collection / folder))
      if (entry.is_regular_file() && entry.path().extension() != ".md") files.push_back(entry.path());
  }
  return files;
}

std::vector<std::filesystem::path> files_outside(const std::filesystem::path& root, const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  for (const char* collection : {"ay", "zx-more", "zx-collection"}) {
    if (!fs::is_directory(root / collection)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / collection))
      if (entry.is_regular_file() && entry.path().parent_path().filename() != folder) files.push_back(entry.path());
  }
  return files;
}

const tools::ay::Format* first_format(const std::vector<uint8_t>& bytes) {
  for (const tools::ay::Format& format : tools::ay::formats())
    if (format.detect(bytes.data(), bytes.size())) return &format;
  return nullptr;
}

size_t loud_seconds(tools::Tune& tune, size_t seconds) {
  std::vector<int16_t> second(2 * tools::kSampleRate);
  size_t loud = 0;
  for (size_t s = 0; s < seconds; ++s) {
    if (tune.render(second.data(), tools::kSampleRate) != static_cast<size_t>(tools::kSampleRate)) break;
    double sum = 0;
    for (int16_t v : second) sum += static_cast<double>(v) * v;
    if (std::sqrt(sum / second.size()) > 300) ++loud;
  }
  return loud;
}

}  // namespace real_test
