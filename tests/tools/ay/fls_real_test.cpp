// The real Flash Tracker modules of the shared samples, whose load address
// the player must find: each is taken by this format before any other,
// plays one pass of a few minutes with all three channels busy and many
// notes, and sounds through the tune the renderer opens; no other sample
// file is taken for a Flash Tracker module.
#include "tools/renderer/ay/fls_player.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/tools/ay/real_module_checks.h"
#include "tests/tools/made_files.h"
#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/tune.h"

namespace {

namespace fs = std::filesystem;
using tools::ay::AySong;
using tools::ay::kFlsFormat;

const fs::path kSamples = TOOLS_SAMPLES;
const fs::path kFlash = kSamples / "ay" / "Flash Tracker";

std::vector<fs::path> modules() {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(kFlash)) {
    if (entry.is_regular_file() && entry.path().extension() != ".md") found.push_back(entry.path());
  }
  return found;
}

const tools::ay::Format* first_taker(const tools_test::Bytes& bytes) {
  for (const tools::ay::Format& format : tools::ay::formats()) {
    if (format.detect(bytes.data(), bytes.size())) return &format;
  }
  return nullptr;
}

TEST(FlsRealModules, OnePassOfAFewMinutesOnAllThreeChannels) {
  size_t played = 0;
  for (const fs::path& path : modules()) {
    SCOPED_TRACE(path.filename().string());
    const tools_test::Bytes bytes = tools_test::read_file(path.string());
    const tools::ay::Format* taker = first_taker(bytes);
    ASSERT_NE(taker, nullptr);
    EXPECT_STREQ(taker->name, kFlsFormat.name);
    AySong song;
    std::string error;
    ASSERT_TRUE(kFlsFormat.parse(bytes.data(), bytes.size(), &song, &error)) << error;
    EXPECT_EQ(song.program, "Flash Tracker");
    // The list wrapped back to its start rather than the cap stopping it.
    EXPECT_EQ(song.loop_frame, 0);
    const double minutes = song.frames.size() / song.frame_hz / 60;
    EXPECT_GT(minutes, 2.0);
    EXPECT_LT(minutes, 8.0);
    size_t busy[3] = {};
    std::set<int> periods;
    for (const tools::ay::Frame& frame : song.frames) {
      const auto& regs = frame[0].regs;
      for (int c = 0; c < 3; ++c) {
        const bool mixed = (regs[7] >> c & 1) == 0 || (regs[7] >> (c + 3) & 1) == 0;
        if (!mixed || regs[8 + c] == 0) continue;
        ++busy[c];
        periods.insert(regs[2 * c] | (regs[2 * c + 1] & 0x0F) << 8);
      }
    }
    for (int c = 0; c < 3; ++c) EXPECT_GT(busy[c], song.frames.size() / 4) << "channel " << c;
    EXPECT_GT(periods.size(), 50u);
    ++played;
  }
  EXPECT_EQ(played, 2u);
}

TEST(FlsRealModules, TheOpenedTuneSoundsThroughItsFirstHalfMinute) {
  for (const fs::path& path : modules()) {
    SCOPED_TRACE(path.filename().string());
    std::string error;
    const std::unique_ptr<tools::Tune> tune =
        tools::open_tune(tools_test::read_file(path.string()), path.string(), &error);
    ASSERT_NE(tune, nullptr) << error;
    EXPECT_EQ(tune->format_name(), kFlsFormat.name);
    EXPECT_EQ(tune->length().kind, tools::TuneLength::Kind::loops);
    EXPECT_GE(real_test::loud_seconds(*tune, 30), 24u);
  }
}

TEST(FlsRealModules, NoOtherSampleFileIsTaken) {
  const std::vector<fs::path> others = real_test::files_outside(kSamples, "Flash Tracker");
  for (const fs::path& path : others) {
    const tools_test::Bytes bytes = tools_test::read_file(path.string());
    EXPECT_FALSE(kFlsFormat.detect(bytes.data(), bytes.size())) << path;
  }
  EXPECT_GT(others.size(), 100u);
}

}  // namespace
