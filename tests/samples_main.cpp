// The main of a test program that needs real tunes of the shared samples:
// without them it runs no case and says so, with the exit code that ctest
// counts as skipped, so that a run without the samples cannot pass for one
// that checked them.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(QUARVO_SAMPLES).lexically_normal();
  std::istringstream needed(QUARVO_NEEDED_SAMPLES);
  for (std::string folder; std::getline(needed, folder, '|');) {
    const fs::path samples = root / folder;
    std::error_code error;
    // A missing folder is an error here; an empty one counts as missing.
    if (fs::is_empty(samples, error) || error) {
      const std::string program = fs::path(argv[0]).stem().string();
      std::printf("skipped: %s needs the real tunes in %s, which is %s\n", program.c_str(), samples.string().c_str(),
                  error ? "missing" : "empty");
      return QUARVO_SKIP_CODE;
    }
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
