// The real Pro Sound Maker modules of the shared samples: each is taken as
// this format first, comes round within a plausible length, keeps its
// channels heard with notes that move in a musical range, and renders
// audibly through the renderer; no other sample file is taken for one.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/tools/ay/real_module_checks.h"
#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/psm_player.h"
#include "tools/renderer/tune.h"

namespace {

namespace fs = std::filesystem;
using tools::ay::AySong;
using tools::ay::kPsmFormat;
using real_test::read;

const fs::path kRoot = TOOLS_SAMPLES;
constexpr double kClock = 1773400;  // the ZX Spectrum 128's AY

std::vector<fs::path> modules() { return real_test::modules_in(kRoot, "Pro Sound Maker"); }

TEST(PsmRealModules, EachComesRoundWithinAPlausibleLengthAndPlaysNotes) {
  int played = 0;
  for (const fs::path& path : modules()) {
    SCOPED_TRACE(path.filename().string());
    const std::vector<uint8_t> bytes = read(path);
    const tools::ay::Format* first = real_test::first_format(bytes);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->name, kPsmFormat.name);
    AySong song;
    std::string error;
    ASSERT_TRUE(kPsmFormat.parse(bytes.data(), bytes.size(), &song, &error)) << error;
    const double seconds = song.frames.size() / song.frame_hz;
    EXPECT_GE(seconds, 60.0);
    EXPECT_LE(seconds, 10 * 60.0);
    EXPECT_GE(song.loop_frame, 0);  // the list came round, the cap did not cut it
    size_t heard_in[3] = {0, 0, 0};
    size_t tuned = 0, shrill = 0;
    std::set<int> tones;
    for (const tools::ay::Frame& frame : song.frames) {
      const auto& regs = frame[0].regs;
      for (int c = 0; c < 3; ++c) {
        if (regs[8 + c] == 0) continue;
        ++heard_in[c];
        if (regs[7] >> c & 1) continue;  // no tone
        const int period = regs[2 * c] | regs[2 * c + 1] << 8;
        tones.insert(period);
        ++tuned;
        // Twelve bits go no lower than 27 Hz; a note above 5 kHz is no
        // note of a tune.
        if (kClock / 16 / std::max(period, 1) > 5000) ++shrill;
      }
    }
    for (int c = 0; c < 3; ++c) EXPECT_GT(heard_in[c], song.frames.size() / 3) << "channel " << c;
    EXPECT_GT(tones.size(), 30u);
    EXPECT_LT(shrill, tuned / 50);
    ++played;
  }
  EXPECT_EQ(played, 4);
}

TEST(PsmRealModules, RenderAudiblyThroughTheRenderer) {
  constexpr size_t kSeconds = 20;
  for (const fs::path& path : modules()) {
    SCOPED_TRACE(path.filename().string());
    std::string error;
    std::unique_ptr<tools::Tune> tune = tools::open_tune(read(path), path.string(), &error);
    ASSERT_NE(tune, nullptr) << error;
    EXPECT_EQ(tune->format_name(), kPsmFormat.name);
    EXPECT_EQ(tune->length().kind, tools::TuneLength::Kind::loops);
    EXPECT_GE(real_test::loud_seconds(*tune, kSeconds), kSeconds * 3 / 4);
  }
}

TEST(PsmRealModules, NoOtherSampleIsTaken) {
  const std::vector<fs::path> others = real_test::files_outside(kRoot, "Pro Sound Maker");
  for (const fs::path& path : others) {
    const std::vector<uint8_t> bytes = real_test::read(path);
    EXPECT_FALSE(kPsmFormat.detect(bytes.data(), bytes.size())) << path;
  }
  EXPECT_GT(others.size(), 100u);
}

}  // namespace
