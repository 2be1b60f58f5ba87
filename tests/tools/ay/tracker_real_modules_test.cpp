// Real ASC Sound Master, Pro Sound Creator, Sound Tracker Pro and
// SQ-Tracker modules from the shared samples: each is taken by its own
// format first, plays a plausible length (with its title and author where
// the format keeps them), sounds through most of its frames and moves its
// melody, and renders audibly through the renderer; no file of the other
// folders is taken by these four formats.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tests/tools/ay/real_module_checks.h"
#include "tools/renderer/ay/asc_player.h"
#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/psc_player.h"
#include "tools/renderer/ay/sqt_player.h"
#include "tools/renderer/ay/stp_player.h"
#include "tools/renderer/tune.h"

namespace {

namespace fs = std::filesystem;
using tools::ay::AySong;
using tools::ay::Format;

struct Folder {
  const char* name;
  const Format* format;
  bool names;  // the format keeps title and author
};

const Folder kFolders[] = {
    {"ASC Sound Master", &tools::ay::kAscFormat, true},
    {"Pro Sound Creator 1.00-1.07", &tools::ay::kPscFormat, true},
    {"Sound Tracker Pro", &tools::ay::kStpFormat, false},
    {"SQ-Tracker", &tools::ay::kSqtFormat, false},
};

std::vector<uint8_t> read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

const Format* first_taker(const std::vector<uint8_t>& bytes) {
  for (const Format& format : tools::ay::formats())
    if (format.detect(bytes.data(), bytes.size())) return &format;
  return nullptr;
}

TEST(TrackerRealModules, EachPlaysItsWholeSongAndSounds) {
  const fs::path root = TOOLS_AY_SAMPLES;
  int played = 0;
  for (const Folder& folder : kFolders) {
    for (const auto& entry : fs::directory_iterator(root / folder.name)) {
      SCOPED_TRACE(entry.path().filename().string());
      const std::vector<uint8_t> bytes = read(entry.path());
      const Format* format = first_taker(bytes);
      ASSERT_NE(format, nullptr);
      EXPECT_STREQ(format->name, folder.format->name);
      AySong song;
      std::string error;
      ASSERT_TRUE(folder.format->parse(bytes.data(), bytes.size(), &song, &error)) << error;
      const double seconds = song.frames.size() / song.frame_hz;
      EXPECT_GE(seconds, 20.0);
      EXPECT_LE(seconds, 20 * 60.0);
      EXPECT_GE(song.loop_frame, 0);
      EXPECT_LT(song.loop_frame, static_cast<long>(song.frames.size()));
      if (folder.names) {
        EXPECT_FALSE(song.title.empty());
        EXPECT_FALSE(song.author.empty());
      }
      size_t sounding = 0;
      size_t heard_in[3] = {0, 0, 0};
      std::set<int> tones;
      for (const tools::ay::Frame& frame : song.frames) {
        const auto& regs = frame[0].regs;
        bool any = false;
        for (int c = 0; c < 3; ++c) {
          bool heard = regs[8 + c] != 0 &&
                       ((regs[7] >> c & 1) == 0 || (regs[7] >> (c + 3) & 1) == 0 || regs[8 + c] & 0x10);
          if (heard) {
            any = true;
            ++heard_in[c];
            tones.insert(regs[2 * c] | regs[2 * c + 1] << 8);
          }
        }
        sounding += any ? 1 : 0;
      }
      EXPECT_GT(sounding, song.frames.size() * 3 / 4);
      // A channel that falls silent for good is a player fault, not music.
      for (int c = 0; c < 3; ++c) EXPECT_GT(heard_in[c], song.frames.size() / 3) << "channel " << c;
      EXPECT_GT(tones.size(), 20u);  // a melody, not one held note
      ++played;
    }
  }
  EXPECT_EQ(played, 10);
}

// The first 20 seconds through the renderer's backends, as amiga opens a
// file: most seconds carry sound well above the noise floor.
TEST(TrackerRealModules, RenderAudiblyThroughTheRenderer) {
  const fs::path root = TOOLS_AY_SAMPLES;
  constexpr size_t kSeconds = 20;
  for (const Folder& folder : kFolders) {
    for (const auto& entry : fs::directory_iterator(root / folder.name)) {
      SCOPED_TRACE(entry.path().filename().string());
      std::string error;
      std::unique_ptr<tools::Tune> tune = tools::open_tune(read(entry.path()), entry.path().string(), &error);
      ASSERT_NE(tune, nullptr) << error;
      EXPECT_EQ(tune->format_name(), folder.format->name);
      EXPECT_EQ(tune->length().kind, tools::TuneLength::Kind::loops);
      if (folder.names) {
        EXPECT_FALSE(tune->tags().title.empty());
      }
      EXPECT_GE(real_test::loud_seconds(*tune, kSeconds), kSeconds * 3 / 4);
    }
  }
}

TEST(TrackerRealModules, OtherFormatsAreNotTaken) {
  const fs::path root = TOOLS_AY_SAMPLES;
  std::set<std::string> mine;
  for (const Folder& folder : kFolders) mine.insert(folder.name);
  int checked = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    if (mine.count(entry.path().parent_path().filename().string())) continue;
    SCOPED_TRACE(entry.path().string());
    const std::vector<uint8_t> bytes = read(entry.path());
    for (const Folder& folder : kFolders)
      EXPECT_FALSE(folder.format->detect(bytes.data(), bytes.size())) << folder.name;
    ++checked;
  }
  EXPECT_GT(checked, 20);
}

}  // namespace
