// The real Fuxoft AY Language tunes of the shared samples: each is taken as
// this format first, repeats within a plausible length, keeps all three
// channels heard and its melody moving, and renders audibly through the
// renderer; no other sample file is taken for one.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/tools/ay/real_module_checks.h"
#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/fxm_ay_file.h"
#include "tools/renderer/ay/fxm_player.h"
#include "tools/renderer/tune.h"

namespace {

namespace fs = std::filesystem;
using real_test::read;
using tools::ay::AySong;
using tools::ay::kFxmFormat;

const fs::path kRoot = TOOLS_SAMPLES;
const fs::path kFolder = kRoot / "ay" / "Fuxoft AY Language";

std::vector<fs::path> tunes() {
  std::vector<fs::path> paths;
  for (const auto& entry : fs::directory_iterator(kFolder))
    if (entry.path().extension() == ".fxm") paths.push_back(entry.path());
  return paths;
}

TEST(FxmRealTunes, EachRepeatsWithinAPlausibleLengthAndSounds) {
  int played = 0;
  for (const fs::path& path : tunes()) {
    SCOPED_TRACE(path.filename().string());
    const std::vector<uint8_t> bytes = read(path);
    const tools::ay::Format* first = real_test::first_format(bytes);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->name, kFxmFormat.name);
    AySong song;
    std::string error;
    ASSERT_TRUE(kFxmFormat.parse(bytes.data(), bytes.size(), &song, &error)) << error;
    const double seconds = song.frames.size() / song.frame_hz;
    EXPECT_GE(seconds, 30.0);
    EXPECT_LE(seconds, 10 * 60.0);
    EXPECT_GE(song.loop_frame, 0);  // the repeat was found, not the cap
    size_t heard_in[3] = {0, 0, 0};
    std::set<int> tones;
    for (const tools::ay::Frame& frame : song.frames) {
      const auto& regs = frame[0].regs;
      for (int c = 0; c < 3; ++c) {
        if (regs[8 + c] != 0 && ((regs[7] >> c & 1) == 0 || (regs[7] >> (c + 3) & 1) == 0)) {
          ++heard_in[c];
          tones.insert(regs[2 * c] | regs[2 * c + 1] << 8);
        }
      }
    }
    for (int c = 0; c < 3; ++c) EXPECT_GT(heard_in[c], song.frames.size() / 4) << "channel " << c;
    EXPECT_GT(tones.size(), 40u);
    ++played;
  }
  EXPECT_EQ(played, 2);
}

TEST(FxmRealTunes, RenderAudiblyThroughTheRenderer) {
  constexpr size_t kSeconds = 20;
  for (const fs::path& path : tunes()) {
    SCOPED_TRACE(path.filename().string());
    std::string error;
    std::unique_ptr<tools::Tune> tune = tools::open_tune(read(path), path.string(), &error);
    ASSERT_NE(tune, nullptr) << error;
    EXPECT_EQ(tune->format_name(), kFxmFormat.name);
    EXPECT_EQ(tune->length().kind, tools::TuneLength::Kind::loops);
    const size_t loud = real_test::loud_seconds(*tune, kSeconds);
    EXPECT_GE(loud, kSeconds * 3 / 4);
  }
}

TEST(FxmRealTunes, NoOtherSampleIsTaken) {
  const std::vector<fs::path> others = real_test::files_outside(kRoot, "Fuxoft AY Language");
  for (const fs::path& path : others) {
    const std::vector<uint8_t> bytes = read(path);
    EXPECT_FALSE(kFxmFormat.detect(bytes.data(), bytes.size())) << path;
  }
  EXPECT_GT(others.size(), 100u);
}

// View_To_A_Kill.ay keeps its tune in an AY file: its header states the
// song's length, which the repeat the player finds must match.
TEST(FxmRealTunes, TheAyFileOfOnePlaysWithItsTextsAndItsStatedLength) {
  const std::vector<uint8_t> bytes = read(kFolder / "View_To_A_Kill.ay");
  const tools::ay::Format* first = real_test::first_format(bytes);
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first->name, tools::ay::kFxmAyFormat.name);
  AySong song;
  std::string error;
  ASSERT_TRUE(tools::ay::kFxmAyFormat.parse(bytes.data(), bytes.size(), &song, &error)) << error;
  EXPECT_EQ(song.title, "View to a Kill");
  EXPECT_EQ(song.author.rfind("Frantisek Fuka", 0), 0u) << song.author;
  ASSERT_GE(song.loop_frame, 0);
  EXPECT_EQ(song.frames.size() - static_cast<size_t>(song.loop_frame), 0x1C80u);
}

}  // namespace
