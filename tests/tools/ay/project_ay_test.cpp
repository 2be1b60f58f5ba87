// Project AY files with players assembled here: a register write heard at
// the T-state it was made, a beeper square wave at its frequency, a CPC
// player on the CPC's clock, songs one after the other for their stated
// lengths, a song of unknown length that ends in silence, a player stuck
// in its init routine, and every cut of a file refused by the program.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "tests/tools/ay/made_project_ay.h"
#include "tests/tools/made_files.h"
#include "tests/tools/tool_process.h"
#include "tools/renderer/ay/project_ay_format.h"
#include "tools/renderer/ay/song_player.h"
#include "tools/renderer/render_plan.h"
#include "tools/renderer/tune.h"

namespace {

namespace fs = std::filesystem;
using tools_test::Bytes;
using tools_test::MadeAyFile;
using tools_test::MadeAySong;
namespace asm80 = tools_test::z80;

constexpr double kRate = tools::kSampleRate;
constexpr double kSpectrumCpu = 3500000;

class Collect : public tools::PcmSink {
 public:
  bool write(const int16_t* frames, size_t count) override {
    samples.insert(samples.end(), frames, frames + 2 * count);
    return true;
  }
  std::vector<int16_t> samples;
};

// The whole render as the renderer makes it, trimmed as it trims.
std::vector<int16_t> render(const Bytes& file, std::string* title = nullptr) {
  std::string error;
  std::unique_ptr<tools::Tune> tune = tools::open_tune(file, "made.ay", &error);
  EXPECT_TRUE(tune) << error;
  if (!tune) return {};
  EXPECT_EQ(tune->format_name(), "Project AY");
  if (title) *title = tune->tags().title;
  const tools::RenderLimits limits;
  Collect sink;
  tools::render_tune(*tune, tools::plan_render(tune->length(), limits), limits, sink);
  return sink.samples;
}

// The first song's first `seconds` straight from its player: no trimming.
std::vector<int16_t> render_untrimmed(const Bytes& file, double seconds) {
  std::string error;
  std::unique_ptr<tools::ay::SongList> list = tools::ay::open_project_ay(file.data(), file.size(), {}, 2, &error);
  EXPECT_TRUE(list) << error;
  if (!list) return {};
  std::unique_ptr<tools::ay::ChipSource> source = list->open(0, &error);
  tools::ay::SongPlayer player(*source);
  std::vector<int16_t> samples(2 * static_cast<size_t>(seconds * kRate));
  samples.resize(2 * player.render(samples.data(), samples.size() / 2));
  return samples;
}

// A song whose init routine sets the mixer to pass channel A's volume
// through as a level, and whose interrupt routine, at its tenth call,
// waits `delay` and turns the volume up.
MadeAySong step_song(uint16_t delay) {
  Bytes init;
  asm80::spectrum_ay(&init, 7, 0x3F);
  asm80::spectrum_ay(&init, 8, 0);
  asm80::ret(&init);
  Bytes tick = {0x21, 0x00, 0x90,  // LD HL,9000h
                0x35,              // DEC (HL)
                0xC0};             // RET NZ
  asm80::delay(&tick, delay);
  asm80::spectrum_ay(&tick, 8, 15);
  asm80::ret(&tick);
  MadeAySong song;
  song.name = "step";
  song.length_frames = 50;
  song.init = 0x8000;
  song.interrupt = 0x8100;
  song.blocks = {{0x8000, init}, {0x8100, tick}, {0x9000, {10}}};
  return song;
}

// The first frame whose left side reaches half of `level`.
size_t onset(const std::vector<int16_t>& samples, int level) {
  for (size_t i = 0; i < samples.size() / 2; ++i) {
    if (samples[2 * i] >= level / 2) return i;
  }
  return samples.size();
}

TEST(ProjectAyTiming, AWriteIsHeardAtTheTStateItWasMade) {
  // Two songs alike but for a wait before the write: 1347 rounds of the
  // delay loop are 35,022 T-states, half a frame. A player that wrote
  // each frame's registers at its start would put both steps on the same
  // frame, or a whole frame apart.
  MadeAyFile early, late;
  early.songs = {step_song(1)};
  late.songs = {step_song(1347)};
  const std::vector<int16_t> a = render_untrimmed(tools_test::make_project_ay(early), 0.5);
  const std::vector<int16_t> b = render_untrimmed(tools_test::make_project_ay(late), 0.5);
  const int level = tools_test::peak(a);
  ASSERT_GT(level, 10000);
  const double apart = (double(onset(b, level)) - double(onset(a, level))) / kRate;
  EXPECT_NEAR(apart, (26.0 * 1347 - 26.0) / kSpectrumCpu, 0.05e-3);
}

// A zero crossing count over the middle of a channel.
double frequency(const std::vector<int16_t>& samples, double from, double to) {
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = static_cast<size_t>(from * kRate) + 1; i < static_cast<size_t>(to * kRate); ++i) {
    const double x0 = samples[2 * (i - 1)], x1 = samples[2 * i];
    if (x0 < 0 && x1 >= 0) {
      const double at = (i - 1) + x0 / (x0 - x1);
      if (first < 0) first = at;
      last = at;
      ++crossings;
    }
  }
  return crossings > 1 ? (crossings - 1) * kRate / (last - first) : 0;
}

TEST(ProjectAyBeeper, ASquareWaveOnPortFEPlaysAtItsFrequency) {
  // XOR 10h; OUT (FEh),A; LD B,100; DJNZ $; JR loop: 13 * 100 + 32
  // T-states a half period, in an init routine that never returns.
  const Bytes loop = {0xEE, 0x10, 0xD3, 0xFE, 0x06, 100, 0x10, 0xFE, 0x18, 0xF6};
  MadeAySong song;
  song.name = "beeper";
  song.length_frames = 100;
  song.init = 0x8000;
  song.blocks = {{0x8000, loop}};
  MadeAyFile file;
  file.songs = {song};
  const std::vector<int16_t> samples = render(tools_test::make_project_ay(file));
  ASSERT_GE(samples.size(), size_t(2 * 1.9 * kRate));
  EXPECT_NEAR(frequency(samples, 0.5, 1.9), kSpectrumCpu / (2 * (13 * 100 + 32)), 0.5);
  EXPECT_GT(tools_test::peak(samples), 5000);
  // Both sides alike: the beeper sits in the middle.
  EXPECT_EQ(samples[2 * 44100], samples[2 * 44100 + 1]);
}

TEST(ProjectAyCpc, APlayerThroughThePpiPlaysOnTheCpcClock) {
  // Tone period 256 on channel A: 1 MHz / 16 / 256 on the CPC, where the
  // Spectrum's clock would give 433 Hz.
  Bytes init;
  asm80::cpc_ay(&init, 0, 0x00);
  asm80::cpc_ay(&init, 1, 0x01);
  asm80::cpc_ay(&init, 7, 0x3E);
  asm80::cpc_ay(&init, 8, 15);
  asm80::ret(&init);
  MadeAySong song;
  song.name = "cpc";
  song.length_frames = 100;
  song.init = 0x4000;
  song.interrupt = 0x5000;
  song.blocks = {{0x4000, init}, {0x5000, {0xC9}}};
  MadeAyFile file;
  file.songs = {song};
  const std::vector<int16_t> samples = render(tools_test::make_project_ay(file));
  ASSERT_GE(samples.size(), size_t(2 * 1.9 * kRate));
  EXPECT_NEAR(frequency(samples, 0.5, 1.9), 1000000.0 / 16 / 256, 0.2);
}

// A song holding a tone of `period` on channel A from its init routine;
// its interrupt routine silences it after `frames` interrupts.
MadeAySong tone_song(const std::string& name, uint16_t period, uint16_t length_frames, uint8_t frames = 255) {
  Bytes init;
  asm80::spectrum_ay(&init, 0, static_cast<uint8_t>(period));
  asm80::spectrum_ay(&init, 1, static_cast<uint8_t>(period >> 8));
  asm80::spectrum_ay(&init, 7, 0x3E);
  asm80::spectrum_ay(&init, 8, 15);
  asm80::ret(&init);
  Bytes tick = {0x21, 0x00, 0x90, 0x35, 0xC0};  // LD HL,9000h; DEC (HL); RET NZ
  asm80::spectrum_ay(&tick, 8, 0);
  asm80::ret(&tick);
  MadeAySong song;
  song.name = name;
  song.length_frames = length_frames;
  song.init = 0x8000;
  song.interrupt = 0x8100;
  song.blocks = {{0x8000, init}, {0x8100, tick}, {0x9000, {frames}}};
  return song;
}

double seconds(const std::vector<int16_t>& samples) { return samples.size() / 2 / kRate; }

TEST(ProjectAySongs, EveryPlaysInFileOrderForItsLengthWithGapsBetween) {
  MadeAyFile file;
  file.misc = "Made Game";
  file.author = "Tester";
  file.songs = {tone_song("first", 100, 100), tone_song("second", 200, 50), tone_song("third", 50, 150)};
  file.songs[2].fade_frames = 25;
  std::string title;
  const std::vector<int16_t> samples = render(tools_test::make_project_ay(file), &title);
  // 2 s, 1.5 s of gap, 1 s, the gap, 3 s and a fade of 0.5 s.
  EXPECT_NEAR(seconds(samples), 2 + 1.5 + 1 + 1.5 + 3.5, 0.05);
  EXPECT_EQ(title, "Made Game");
  // Each in its place, at its pitch.
  EXPECT_NEAR(frequency(samples, 0.5, 1.8), 1773400.0 / 16 / 100, 1);
  EXPECT_NEAR(frequency(samples, 3.7, 4.3), 1773400.0 / 16 / 200, 1);
  EXPECT_NEAR(frequency(samples, 6.5, 8.5), 1773400.0 / 16 / 50, 1);
  const auto quiet = [&](double from, double to) {
    int loudest = 0;
    for (size_t i = size_t(from * kRate); i < size_t(to * kRate); ++i) loudest = std::max(loudest, std::abs(int(samples[2 * i])));
    return loudest;
  };
  EXPECT_LT(quiet(2.1, 3.4), 100);
  EXPECT_LT(quiet(4.6, 5.9), 100);
  // The fade: the last song's final tenth of a second is far below its middle.
  EXPECT_LT(quiet(9.45, 9.5) * 8, quiet(7, 8));
}

TEST(ProjectAySongs, ASongOfUnknownLengthEndsWhenItFallsSilent) {
  // Sound for 100 interrupts (2 s), then silence; the silence that ends it
  // is left out, and the next song follows after the gap. The DC filter
  // takes a fifth of a second to settle below the silence level.
  MadeAyFile file;
  file.songs = {tone_song("open", 100, 0, 100), tone_song("after", 200, 50)};
  std::string title;
  const std::vector<int16_t> samples = render(tools_test::make_project_ay(file), &title);
  EXPECT_GT(seconds(samples), 2 + 1.5 + 1);
  EXPECT_LT(seconds(samples), 2.3 + 1.5 + 1);
  EXPECT_EQ(title, "open");  // no misc text: the first song's name
}

TEST(ProjectAyFailures, AStuckInitRoutineFailsTheFileWithAReason) {
  MadeAySong song;
  song.name = "stuck";
  song.init = 0x8000;
  song.blocks = {{0x8000, {0x18, 0xFE}}};  // JR $
  MadeAyFile file;
  file.songs = {song};
  const Bytes made = tools_test::make_project_ay(file);
  std::string error;
  EXPECT_FALSE(tools::ay::open_project_ay(made.data(), made.size(), {}, 2, &error));
  EXPECT_NE(error.find("init routine"), std::string::npos) << error;
}

TEST(ProjectAyFailures, EveryCutOfAFileExitsWithOneAndNoWav) {
  MadeAyFile file;
  file.author = "a";
  file.misc = "m";
  file.songs = {tone_song("one", 100, 20), tone_song("two", 50, 20)};
  const Bytes made = tools_test::make_project_ay(file);
  const fs::path root = fs::path(testing::TempDir()) / "tools_project_ay_cuts";
  fs::remove_all(root);
  fs::create_directories(root);
  const std::string source = (root / "cut.ay").string();
  ASSERT_TRUE(tools_test::write_file(source, made));
  ASSERT_EQ(tools_test::run_tool(tools_test::native_path(TOOLS_AMIGA), {"/adp", source}, root.string()).exit_code, 0);
  fs::remove(root / "cut.wav");
#ifdef _WIN32
  const size_t step = 7;  // each run starts Wine's process machinery
#else
  const size_t step = 1;
#endif
  for (size_t size = 0; size < made.size(); size += step) {
    SCOPED_TRACE(size);
    ASSERT_TRUE(tools_test::write_file(source, Bytes(made.begin(), made.begin() + size)));
    const tools_test::ToolRun run = tools_test::run_tool(tools_test::native_path(TOOLS_AMIGA), {"/adp", source}, root.string());
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_FALSE(fs::exists(root / "cut.wav"));
  }
  fs::remove_all(root);
}

}  // namespace
