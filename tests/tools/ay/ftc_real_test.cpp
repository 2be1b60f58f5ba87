// The real Fast Tracker modules of the shared samples (1.00 and 1.07): each
// is taken as this format first, repeats within a plausible length with
// its name and author read, keeps its channels heard and its melody
// moving, and renders audibly through the renderer; no other sample file
// is taken for one.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/tools/ay/real_module_checks.h"
#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/ftc_player.h"
#include "tools/renderer/tune.h"

namespace {

namespace fs = std::filesystem;
using real_test::read;
using tools::ay::AySong;
using tools::ay::kFtcFormat;

const fs::path kRoot = TOOLS_SAMPLES;
const fs::path kOwn = kRoot / "ay" / "Fast Tracker";

std::vector<fs::path> modules() { return real_test::modules_in(kRoot, "Fast Tracker"); }

TEST(FtcRealModules, EachRepeatsWithinAPlausibleLengthAndSounds) {
  int played = 0;
  for (const fs::path& path : modules()) {
    SCOPED_TRACE(path.filename().string());
    const std::vector<uint8_t> bytes = read(path);
    const tools::ay::Format* first = real_test::first_format(bytes);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->name, kFtcFormat.name);
    AySong song;
    std::string error;
    ASSERT_TRUE(kFtcFormat.parse(bytes.data(), bytes.size(), &song, &error)) << error;
    EXPECT_FALSE(song.title.empty());
    const double seconds = song.frames.size() / song.frame_hz;
    EXPECT_GE(seconds, 30.0);
    EXPECT_LE(seconds, 10 * 60.0);
    EXPECT_GE(song.loop_frame, 0);  // the repeat was found, not the cap
    size_t heard_in[3] = {0, 0, 0};
    std::set<int> tones;
    for (const tools::ay::Frame& frame : song.frames) {
      const auto& regs = frame[0].regs;
      for (int c = 0; c < 3; ++c) {
        const bool sounding = (regs[7] >> c & 1) == 0 || (regs[7] >> (c + 3) & 1) == 0;
        if (regs[8 + c] != 0 && sounding) {
          ++heard_in[c];
          tones.insert(regs[2 * c] | regs[2 * c + 1] << 8);
        }
      }
    }
    // Every module leaves at least two channels sounding most of the time.
    int busy = 0;
    for (int c = 0; c < 3; ++c) busy += heard_in[c] > song.frames.size() / 3 ? 1 : 0;
    EXPECT_GE(busy, 2);
    EXPECT_GT(tones.size(), 40u);
    ++played;
  }
  EXPECT_EQ(played, 6);
}

TEST(FtcRealModules, NamesSplitIntoTitleAndAuthor) {
  const std::vector<uint8_t> bytes = read(kOwn / "Nostalgy.ftc");
  AySong song;
  std::string error;
  ASSERT_TRUE(kFtcFormat.parse(bytes.data(), bytes.size(), &song, &error)) << error;
  EXPECT_EQ(song.title, "NOSTALGY/TUNE");
  EXPECT_EQ(song.author, "JOE/DR/AUT.96");
}

TEST(FtcRealModules, RenderAudiblyThroughTheRenderer) {
  constexpr size_t kSeconds = 20;
  for (const fs::path& path : modules()) {
    SCOPED_TRACE(path.filename().string());
    std::string error;
    std::unique_ptr<tools::Tune> tune = tools::open_tune(read(path), path.string(), &error);
    ASSERT_NE(tune, nullptr) << error;
    EXPECT_EQ(tune->format_name(), kFtcFormat.name);
    EXPECT_EQ(tune->length().kind, tools::TuneLength::Kind::loops);
    const size_t loud = real_test::loud_seconds(*tune, kSeconds);
    // TEST_PM opens with six quiet seconds of one voice fading in.
    EXPECT_GE(loud, kSeconds / 2);
  }
}

TEST(FtcRealModules, NoOtherSampleIsTaken) {
  const std::vector<fs::path> others = real_test::files_outside(kRoot, "Fast Tracker");
  for (const fs::path& path : others) {
    const std::vector<uint8_t> bytes = real_test::read(path);
    EXPECT_FALSE(kFtcFormat.detect(bytes.data(), bytes.size())) << path;
  }
  EXPECT_GT(others.size(), 100u);
}

}  // namespace
