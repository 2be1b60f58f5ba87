// The real Sound Tracker songs (ST1, one of them in an AY file) and ST3
// modules of the shared samples: each is taken by its own format first,
// plays a plausible length with every channel heard and a melody, and no
// other real module is taken by these two formats.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/st1_player.h"
#include "tools/renderer/ay/st3_player.h"

namespace {

namespace fs = std::filesystem;
using tools::ay::AySong;
using tools::ay::Format;

std::vector<uint8_t> read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

const Format* first_taker(const std::vector<uint8_t>& bytes) {
  for (const Format& format : tools::ay::formats())
    if (format.detect(bytes.data(), bytes.size())) return &format;
  return nullptr;
}

struct Folder {
  const char* name;
  const Format* format;
  size_t files;
};
const Folder kFolders[] = {{"Sound Tracker 1", &tools::ay::kSt1Format, 3},
                           {"Sound Tracker 3", &tools::ay::kSt3Format, 2}};

TEST(SoundTrackerFormsReal, EachPlaysItsWholeSongAndSounds) {
  const fs::path root = fs::path(TOOLS_SAMPLES) / "zx-more";
  if (!fs::is_directory(root)) GTEST_SKIP() << "no samples at " << root;
  for (const Folder& folder : kFolders) {
    size_t played = 0;
    for (const auto& entry : fs::directory_iterator(root / folder.name)) {
      SCOPED_TRACE(entry.path().filename().string());
      const std::vector<uint8_t> bytes = read(entry.path());
      const Format* format = first_taker(bytes);
      ASSERT_NE(format, nullptr);
      EXPECT_STREQ(format->name, folder.format->name);
      AySong song;
      std::string error;
      ASSERT_TRUE(format->parse(bytes.data(), bytes.size(), &song, &error)) << error;
      const double seconds = song.frames.size() / song.frame_hz;
      EXPECT_GE(seconds, 30.0);
      EXPECT_LE(seconds, 10 * 60.0);
      size_t heard_in[3] = {0, 0, 0};
      std::set<int> tones;
      for (const tools::ay::Frame& frame : song.frames) {
        const auto& regs = frame[0].regs;
        for (int c = 0; c < 3; ++c) {
          if (regs[8 + c] != 0 &&
              ((regs[7] >> c & 1) == 0 || (regs[7] >> (c + 3) & 1) == 0 || regs[8 + c] & 0x10)) {
            ++heard_in[c];
            tones.insert(regs[2 * c] | regs[2 * c + 1] << 8);
          }
        }
      }
      for (int c = 0; c < 3; ++c) EXPECT_GT(heard_in[c], song.frames.size() / 4) << "channel " << c;
      EXPECT_GT(tones.size(), 20u);
      ++played;
    }
    EXPECT_EQ(played, folder.files) << folder.name;
  }
}

TEST(SoundTrackerFormsReal, OtherModulesAreNotTaken) {
  const fs::path root = TOOLS_SAMPLES;
  if (!fs::is_directory(root / "zx-more")) GTEST_SKIP() << "no samples at " << root;
  size_t checked = 0;
  for (const char* collection : {"ay", "zx-more", "zx-collection"}) {
    if (!fs::is_directory(root / collection)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / collection)) {
      const std::string folder = entry.path().parent_path().filename().string();
      if (!entry.is_regular_file() || folder.rfind("Sound Tracker ", 0) == 0) continue;
      SCOPED_TRACE(entry.path().string());
      const std::vector<uint8_t> bytes = read(entry.path());
      for (const Folder& mine : kFolders) EXPECT_FALSE(mine.format->detect(bytes.data(), bytes.size()));
      ++checked;
    }
  }
  EXPECT_GT(checked, 100u);
}

}  // namespace
