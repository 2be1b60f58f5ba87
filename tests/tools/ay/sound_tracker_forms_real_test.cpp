// Sound Tracker's ST1 and ST3 forms take none of the shared real modules
// of other formats (their own play in zx_more_real_modules_test).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/st1_player.h"
#include "tools/renderer/ay/st3_player.h"

namespace {

namespace fs = std::filesystem;
using tools::ay::Format;

std::vector<uint8_t> read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

const Format* const kMine[] = {&tools::ay::kSt1Format, &tools::ay::kSt3Format};

TEST(SoundTrackerFormsReal, OtherModulesAreNotTaken) {
  const fs::path root = TOOLS_SAMPLES;
  ASSERT_TRUE(fs::is_directory(root / "zx-more")) << root;
  size_t checked = 0;
  for (const char* collection : {"ay", "zx-more", "zx-collection"}) {
    if (!fs::is_directory(root / collection)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / collection)) {
      const std::string folder = entry.path().parent_path().filename().string();
      if (!entry.is_regular_file() || folder.rfind("Sound Tracker ", 0) == 0) continue;
      SCOPED_TRACE(entry.path().string());
      const std::vector<uint8_t> bytes = read(entry.path());
      for (const Format* mine : kMine) EXPECT_FALSE(mine->detect(bytes.data(), bytes.size())) << mine->name;
      ++checked;
    }
  }
  EXPECT_GT(checked, 100u);
}

}  // namespace
