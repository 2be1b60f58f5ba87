// Real Pro Tracker 3 (with TurboSound and Vortex Tracker II files), Pro
// Tracker 2 and Sound Tracker modules from the shared samples: each is
// taken by its own format first, plays a plausible length with its title
// and author, and keeps most of its frames sounding with a moving melody.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tools/renderer/ay/ay_song.h"

namespace {

namespace fs = std::filesystem;
using tools::ay::AySong;

struct Folder {
  const char* name;
  const char* extension;
  const char* format;
  int chips;
};

const Folder kFolders[] = {
    {"Pro Tracker 3.xx", ".pt3", "Pro Tracker 3", 1},   {"Turbo-Sound", ".pt3", "Pro Tracker 3", 2},
    {"Vortex Tracker II", ".pt3", "Pro Tracker 3", 1},  {"Listen only with filter", ".pt3", "Pro Tracker 3", 1},
    {"Pro Tracker 2.xx", ".pt2", "Pro Tracker 2", 1},   {"Sound Tracker", ".stc", "Sound Tracker", 1},
};

// Vortex Tracker's demonstration modules: a pattern or two long.
const std::set<std::string> kShortDemos = {"1stVTII.pt3", "EnvTest.pt3"};

std::vector<uint8_t> read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

const tools::ay::Format* first_taker(const std::vector<uint8_t>& bytes) {
  for (const tools::ay::Format& format : tools::ay::formats()) {
    if (format.detect(bytes.data(), bytes.size())) return &format;
  }
  return nullptr;
}

TEST(ZxRealModules, EachPlaysItsWholeSongWithItsNames) {
  const fs::path root = TOOLS_AY_SAMPLES;
  int played = 0;
  for (const Folder& folder : kFolders) {
    for (const auto& entry : fs::directory_iterator(root / folder.name)) {
      if (entry.path().extension() != folder.extension) continue;
      const std::string file = entry.path().filename().string();
      SCOPED_TRACE(file);
      const std::vector<uint8_t> bytes = read(entry.path());
      const tools::ay::Format* format = first_taker(bytes);
      ASSERT_NE(format, nullptr);
      EXPECT_STREQ(format->name, folder.format);
      AySong song;
      std::string error;
      ASSERT_TRUE(format->parse(bytes.data(), bytes.size(), &song, &error)) << error;
      ++played;

      const double seconds = song.frames.size() / song.frame_hz;
      EXPECT_GE(seconds, kShortDemos.count(file) ? 2.0 : 20.0);
      EXPECT_LT(seconds, 20 * 60.0);
      EXPECT_LT(song.loop_frame, static_cast<long>(song.frames.size()));
      EXPECT_EQ(song.chips, folder.chips);
      if (folder.format != std::string("Sound Tracker")) {
        EXPECT_FALSE(song.title.empty() && song.author.empty());
      }

      // Music: most frames sound, on a good number of different notes;
      // a channel on the envelope may carry the tune in its period.
      size_t sounding = 0;
      std::vector<size_t> heard_in(3 * song.chips);
      std::set<int> periods;
      for (const tools::ay::Frame& frame : song.frames) {
        bool heard = false;
        for (int chip = 0; chip < song.chips; ++chip) {
          const auto& regs = frame[chip].regs;
          for (int c = 0; c < 3; ++c) {
            if ((regs[8 + c] & 0x1F) == 0) continue;
            heard = true;
            ++heard_in[3 * chip + c];
            periods.insert(regs[2 * c] | (regs[2 * c + 1] & 0x0F) << 8);
            if (regs[8 + c] & 0x10) periods.insert(0x10000 + (regs[11] | regs[12] << 8));
          }
        }
        if (heard) ++sounding;
      }
      EXPECT_GT(sounding, song.frames.size() / 2);
      // A channel that falls silent for good is a player fault, not music
      // (the short demos show off one channel).
      for (size_t c = 0; c < heard_in.size() && !kShortDemos.count(file); ++c)
        EXPECT_GT(heard_in[c], song.frames.size() / 3) << "channel " << c;
      EXPECT_GT(periods.size(), kShortDemos.count(file) ? 3u : 12u);
    }
  }
  EXPECT_GE(played, 30);
}

}  // namespace
