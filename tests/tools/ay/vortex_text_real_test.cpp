// Real Vortex Tracker II text modules from the shared samples: each is taken
// as one, drives as many chips as it holds modules, plays a plausible
// length at its own rate with its names, and keeps every chip sounding;
// and the tracker's own demonstration plays exactly as the Pro Tracker 3
// module the tracker saved from it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tools/renderer/ay/ay_song.h"
#include "tools/renderer/ay/pt3_player.h"
#include "tools/renderer/ay/vortex_text_player.h"

namespace {

namespace fs = std::filesystem;
using tools::ay::AySong;

const fs::path kFolder = fs::path(TOOLS_SAMPLES) / "zx-more" / "Vortex Tracker text";

// A pattern long, to show off the envelope on one channel.
const std::set<std::string> kShortDemos = {"EnvTest.vt2"};
// Saved with neither title nor author.
const std::set<std::string> kNameless = {"cast.txt", "jts.txt"};

std::vector<uint8_t> read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The [Module] lines of the text: one module per chip.
int modules_in(const std::vector<uint8_t>& bytes) {
  const std::string text(bytes.begin(), bytes.end());
  int count = 0;
  for (size_t at = text.find("[Module]"); at != std::string::npos; at = text.find("[Module]", at + 1)) ++count;
  return count;
}

const tools::ay::Format* first_taker(const std::vector<uint8_t>& bytes) {
  for (const tools::ay::Format& format : tools::ay::formats()) {
    if (format.detect(bytes.data(), bytes.size())) return &format;
  }
  return nullptr;
}

TEST(VortexTextRealModules, EachPlaysItsWholeSongOnItsChipsWithItsNames) {
  if (!fs::is_directory(kFolder)) GTEST_SKIP() << "no samples at " << kFolder;
  int played = 0;
  std::set<double> rates;
  for (const auto& entry : fs::directory_iterator(kFolder)) {
    const std::string file = entry.path().filename().string();
    if (file == "README.md") continue;
    SCOPED_TRACE(file);
    const std::vector<uint8_t> bytes = read(entry.path());
    const tools::ay::Format* format = first_taker(bytes);
    ASSERT_NE(format, nullptr);
    EXPECT_STREQ(format->name, tools::ay::kVortexTextFormat.name);
    AySong song;
    std::string error;
    ASSERT_TRUE(format->parse(bytes.data(), bytes.size(), &song, &error)) << error;
    ++played;
    rates.insert(song.frame_hz);

    EXPECT_EQ(song.chips, modules_in(bytes));
    const double seconds = song.frames.size() / song.frame_hz;
    EXPECT_GE(seconds, kShortDemos.count(file) ? 2.0 : 15.0);
    EXPECT_LT(seconds, 20 * 60.0);
    EXPECT_LT(song.loop_frame, static_cast<long>(song.frames.size()));
    if (!kNameless.count(file)) EXPECT_FALSE(song.title.empty() && song.author.empty());

    // Music on every chip: most frames sound, each chip is heard through
    // a good part of the song, on many different periods.
    size_t sounding = 0;
    std::vector<size_t> heard_on(song.chips);
    std::set<int> periods;
    for (const tools::ay::Frame& frame : song.frames) {
      bool heard = false;
      for (int chip = 0; chip < song.chips; ++chip) {
        bool chip_heard = false;
        const auto& regs = frame[chip].regs;
        for (int c = 0; c < 3; ++c) {
          if ((regs[8 + c] & 0x1F) == 0) continue;
          chip_heard = true;
          periods.insert(regs[2 * c] | (regs[2 * c + 1] & 0x0F) << 8);
          if (regs[8 + c] & 0x10) periods.insert(0x10000 + (regs[11] | regs[12] << 8));
        }
        if (chip_heard) ++heard_on[chip];
        heard |= chip_heard;
      }
      if (heard) ++sounding;
    }
    EXPECT_GT(sounding, song.frames.size() / 2);
    for (int chip = 0; chip < song.chips && !kShortDemos.count(file); ++chip) {
      EXPECT_GT(heard_on[chip], song.frames.size() / 4) << "chip " << chip;
    }
    EXPECT_GT(periods.size(), kShortDemos.count(file) ? 3u : 12u);
  }
  EXPECT_EQ(played, 28);
  // 48.828 Hz (the tracker's Pentagon default), 50 Hz, and the 1 kHz module.
  EXPECT_TRUE(rates.count(48.828) && rates.count(50.0) && rates.count(1000.0));
}

TEST(VortexTextRealModules, TextPlaysAsTheProTracker3ModuleSavedFromIt) {
  const fs::path text = kFolder / "EnvTest.vt2";
  const fs::path saved = fs::path(TOOLS_SAMPLES) / "ay" / "Vortex Tracker II" / "EnvTest.pt3";
  if (!fs::exists(text) || !fs::exists(saved)) GTEST_SKIP() << "no samples at " << text << " and " << saved;
  const std::vector<uint8_t> text_bytes = read(text), saved_bytes = read(saved);
  AySong from_text, from_saved;
  std::string error;
  ASSERT_TRUE(tools::ay::kVortexTextFormat.parse(text_bytes.data(), text_bytes.size(), &from_text, &error)) << error;
  ASSERT_TRUE(tools::ay::kPt3Format.parse(saved_bytes.data(), saved_bytes.size(), &from_saved, &error)) << error;
  ASSERT_EQ(from_text.frames.size(), from_saved.frames.size());
  EXPECT_EQ(from_text.loop_frame, from_saved.loop_frame);
  for (size_t i = 0; i < from_text.frames.size(); ++i) {
    ASSERT_EQ(from_text.frames[i][0].regs, from_saved.frames[i][0].regs) << "frame " << i;
    ASSERT_EQ(from_text.frames[i][0].shape_written, from_saved.frames[i][0].shape_written) << "frame " << i;
  }
  EXPECT_EQ(from_text.author, "Bulba");
  EXPECT_NEAR(from_text.frame_hz, 48.828, 1e-9);
  EXPECT_EQ(from_text.clock_hz, 1750000);
}

}  // namespace
