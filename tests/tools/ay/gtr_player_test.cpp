// Global Tracker modules made by tracker_module_maker: sample lines and
// ornaments into periods, levels and mixer bits, each pattern command and
// limit, the position list, the detection, and cut files refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "tests/tools/ay/tracker_module_maker.h"
#include "tests/tools/tool_process.h"
#include "tools/renderer/ay/gtr_player.h"
#include "tools/renderer/ay/tracker_frames.h"
#include "tools/renderer/ay/zx_tables.h"
#include "tools/renderer/tune.h"

namespace {

namespace fs = std::filesystem;
using tools::ay::AySong;
using tools::ay::kGtrFormat;
using namespace tracker_test;

constexpr uint8_t kEnd = 0xFF;
constexpr uint8_t kEmptyRow = 0xD0;
constexpr uint8_t kSoundOff = 0xE0;
constexpr int kC4 = 36;
const Bytes kQuietTrack = {0xBF, kEmptyRow, kEnd};

GtrModule one_track(const Bytes& track, std::vector<GtrLine> lines = {GtrLine{}}) {
  GtrModule module;
  module.delay = 1;
  module.samples = {GtrSample{0, std::move(lines)}};
  module.patterns = {Tracks{track, kQuietTrack, kQuietTrack}};
  return module;
}

AySong parse(const Bytes& bytes) {
  AySong song;
  std::string error;
  EXPECT_TRUE(kGtrFormat.detect(bytes.data(), bytes.size()));
  EXPECT_TRUE(kGtrFormat.parse(bytes.data(), bytes.size(), &song, &error)) << error;
  return song;
}

int period(int note) { return tools::ay::zx::sound_tracker_notes()[static_cast<size_t>(note)]; }
int envelope_period(const AySong& song, size_t frame) { return reg(song, frame, 11) | reg(song, frame, 12) << 8; }

TEST(GtrPlayer, SampleLinesGiveOffsetLevelNoiseAndMasksAndLoop) {
  GtrLine up, noisy, quiet;
  up.tone_offset = 5;
  noisy.volume = 8;
  noisy.tone = false;
  noisy.noise = true;
  noisy.noise_period = 7;
  noisy.tone_offset = -3;
  quiet.volume = 12;
  GtrModule module = one_track({0x83, kC4, kEnd}, {up, noisy, quiet});
  module.samples[0].loop = 1;
  const AySong song = parse(make_gtr(module));
  ASSERT_EQ(song.frames.size(), 4u);
  EXPECT_EQ(tone(song, 0, 0), period(kC4) + 5);
  EXPECT_EQ(level(song, 0, 0), 15);
  EXPECT_EQ(reg(song, 0, 7) & 0x09, 0x08);  // tone on, noise off
  EXPECT_EQ(tone(song, 1, 0), period(kC4) - 3);
  EXPECT_EQ(level(song, 1, 0), 8);
  EXPECT_EQ(reg(song, 1, 7) & 0x09, 0x01);  // tone off, noise on
  EXPECT_EQ(reg(song, 1, 6), 7);
  EXPECT_EQ(level(song, 2, 0), 12);
  EXPECT_EQ(level(song, 3, 0), 8);  // back to the loop line
}

TEST(GtrPlayer, OrnamentsAddNotesAndLoopOnTheirOwn) {
  GtrModule module = one_track({0x71, 0x84, kC4, kEnd});
  module.ornaments = {GtrOrnament{}, GtrOrnament{1, {0, 12, 7}}};
  const AySong song = parse(make_gtr(module));
  ASSERT_EQ(song.frames.size(), 5u);
  EXPECT_EQ(tone(song, 0, 0), period(kC4));
  EXPECT_EQ(tone(song, 1, 0), period(kC4 + 12));
  EXPECT_EQ(tone(song, 2, 0), period(kC4 + 7));
  EXPECT_EQ(tone(song, 3, 0), period(kC4 + 12));
  EXPECT_EQ(tone(song, 4, 0), period(kC4 + 7));
}

TEST(GtrPlayer, OrnamentsCannotLeaveTheNoteTable) {
  GtrModule module = one_track({0x71, 0x5F, 0x72, 0x00, kEnd});
  module.ornaments = {GtrOrnament{}, GtrOrnament{0, {100}}, GtrOrnament{0, {-100}}};
  const AySong song = parse(make_gtr(module));
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(tone(song, 0, 0), period(95));
  EXPECT_EQ(tone(song, 1, 0), period(0));
}

TEST(GtrPlayer, SkipCountHoldsForItsOwnRowOnly) {
  const AySong song = parse(make_gtr(one_track({0x82, kC4, kC4 + 2, kC4 + 4, kEnd})));
  ASSERT_EQ(song.frames.size(), 5u);
  EXPECT_EQ(tone(song, 2, 0), period(kC4));
  EXPECT_EQ(tone(song, 3, 0), period(kC4 + 2));
  EXPECT_EQ(tone(song, 4, 0), period(kC4 + 4));
}

TEST(GtrPlayer, PatternsEndAfterSixtyFourRowsAndTheNextStartsAtItsFirstRow) {
  // The second note would last past row 64; the rows after it never play.
  GtrModule module = one_track({0xBE, kC4, 0x85, kC4 + 1, kC4 + 3, kEnd});
  module.patterns.push_back(Tracks{Bytes{kC4 + 2, kEnd}, kQuietTrack, kQuietTrack});
  module.positions = {0, 1};
  const AySong song = parse(make_gtr(module));
  ASSERT_EQ(song.frames.size(), 65u);
  EXPECT_EQ(tone(song, 62, 0), period(kC4));
  EXPECT_EQ(tone(song, 63, 0), period(kC4 + 1));
  EXPECT_EQ(tone(song, 64, 0), period(kC4 + 2));
}

TEST(GtrPlayer, VolumeCommandsScaleTheLineAndTakeEffectWithoutANote) {
  GtrLine line;
  line.volume = 10;
  const AySong song = parse(make_gtr(one_track({0xE8, kC4, 0xE3, kEmptyRow, kEnd}, {line})));
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(level(song, 0, 0), tools::ay::tracker::scaled_level(10, 8));
  EXPECT_EQ(level(song, 1, 0), tools::ay::tracker::scaled_level(10, 3));
}

TEST(GtrPlayer, EmptyRowsGoOnWithTheNote) {
  GtrLine bent;
  bent.tone_offset = 9;
  GtrModule module = one_track({kC4, 0xD3, kEnd}, {GtrLine{}, bent});
  module.samples[0].loop = 1;
  const AySong song = parse(make_gtr(module));
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(tone(song, 1, 0), period(kC4) + 9);  // the sample was not restarted
}

TEST(GtrPlayer, SoundOffIsARowFromVersion11AndReadsOnIn10) {
  GtrModule module = one_track({kC4, kSoundOff, kC4 + 1, kEnd});
  AySong song = parse(make_gtr(module));
  ASSERT_EQ(song.frames.size(), 3u);
  EXPECT_EQ(level(song, 1, 0), 0);
  EXPECT_EQ(tone(song, 2, 0), period(kC4 + 1));
  module.version = 0x10;
  song = parse(make_gtr(module));
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(tone(song, 1, 0), period(kC4 + 1));
  EXPECT_EQ(level(song, 1, 0), 15);
  module.patterns[0][0] = {kC4, kSoundOff, kEmptyRow, kEnd};
  song = parse(make_gtr(module));
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(level(song, 1, 0), 0);
}

TEST(GtrPlayer, EnvelopeCommandSoundsThroughTheLinesThatLetItThrough) {
  GtrLine through, plain;
  through.envelope = true;
  through.tone = false;
  through.volume = 0;
  plain.volume = 9;
  const AySong song = parse(make_gtr(one_track({0xCE, 0x42, 0x81, kC4, kEnd}, {through, plain})));
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(level(song, 0, 0), 0x10);
  EXPECT_TRUE(song.frames[0][0].shape_written);
  EXPECT_EQ(reg(song, 0, 13), 14);
  EXPECT_EQ(envelope_period(song, 0), 0x42);
  EXPECT_EQ(level(song, 1, 0), 9);
  EXPECT_FALSE(song.frames[1][0].shape_written);
}

TEST(GtrPlayer, OrnamentCommandEndsTheEnvelopeFromVersion11Only) {
  GtrLine through;
  through.envelope = true;
  GtrModule module = one_track({0xCA, 0x20, kC4, 0x70, kC4, kEnd}, {through});
  AySong song = parse(make_gtr(module));
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(level(song, 0, 0), 0x10);
  EXPECT_EQ(level(song, 1, 0), 15);
  module.version = 0x10;
  song = parse(make_gtr(module));
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(level(song, 1, 0), 0x10);
}

TEST(GtrPlayer, SampleCommandsPickTheirSampleAndUnusedBytesChangeNothing) {
  GtrLine soft;
  soft.volume = 6;
  GtrModule module = one_track({0x61, kC4, 0x6F, 0xF5, kC4, 0x60, kC4, kEnd});
  module.samples.push_back(GtrSample{0, {soft}});
  const AySong song = parse(make_gtr(module));
  ASSERT_EQ(song.frames.size(), 3u);
  EXPECT_EQ(level(song, 0, 0), 6);
  EXPECT_EQ(level(song, 1, 0), 6);
  EXPECT_EQ(level(song, 2, 0), 15);
}

TEST(GtrPlayer, ARowThatNeverEndsIsRefused) {
  Bytes track(100, 0xE5);
  track.push_back(kC4);
  track.push_back(kEnd);
  const Bytes bytes = make_gtr(one_track(track));
  AySong song;
  std::string error;
  EXPECT_FALSE(kGtrFormat.parse(bytes.data(), bytes.size(), &song, &error));
}

TEST(GtrPlayer, PositionListLoopsAndTheNameIsTheTitle) {
  GtrModule module = one_track({kC4, kEnd});
  module.patterns.push_back(Tracks{Bytes{0x82, kC4, kEnd}, Bytes{kEnd}, kQuietTrack});
  module.positions = {0, 1, 1};
  module.loop = 1;
  module.name = "Tune BY Someone";
  const AySong song = parse(make_gtr(module));
  EXPECT_EQ(song.title, "Tune BY Someone");
  EXPECT_EQ(song.program, "Global Tracker 1.1");
  EXPECT_EQ(song.frames.size(), 1u + 3 + 3);
  EXPECT_EQ(song.loop_frame, 1);
}

TEST(GtrPlayer, PointersAreAddressesWhereTheModuleWasCompiled) {
  GtrModule module = one_track({0x71, 0x83, kC4, kEnd});
  module.ornaments = {GtrOrnament{}, GtrOrnament{0, {0, 5}}};
  const AySong at_zero = parse(make_gtr(module));
  module.address = 0xC000;
  const AySong placed = parse(make_gtr(module));
  ASSERT_EQ(placed.frames.size(), at_zero.frames.size());
  for (size_t f = 0; f < placed.frames.size(); ++f) EXPECT_EQ(placed.frames[f][0].regs, at_zero.frames[f][0].regs);
}

TEST(GtrPlayer, DetectionRestsOnTheHeadersConsistency) {
  const Bytes bytes = make_gtr(one_track({kC4, kEnd}));
  const tools::ay::Format* first = nullptr;
  for (const tools::ay::Format& format : tools::ay::formats()) {
    if (!format.detect(bytes.data(), bytes.size())) continue;
    if (!first) first = &format;
    EXPECT_STREQ(format.name, kGtrFormat.name);  // no other format takes it
  }
  ASSERT_NE(first, nullptr);
  auto refused = [&bytes](size_t at, uint8_t value) {
    Bytes changed = bytes;
    changed[at] = value;
    return !kGtrFormat.detect(changed.data(), changed.size());
  };
  EXPECT_TRUE(refused(0, 0));      // no delay
  EXPECT_TRUE(refused(2, 'X'));    // not "GTR"
  EXPECT_TRUE(refused(4, 0x20));   // not 1.x
  EXPECT_TRUE(refused(10, 0x07));  // a control byte in the name
  EXPECT_TRUE(refused(40, 0xF0));  // sample 0 outside the file
  EXPECT_TRUE(refused(70, 0xF0));  // ornament 0 outside the file
  EXPECT_TRUE(refused(294, 1));    // loop past the one position
  EXPECT_TRUE(refused(295, 7));    // not a pattern's entry
  EXPECT_TRUE(refused(295, 192));  // past the 32 patterns
  const size_t sample = bytes[39] | bytes[40] << 8;
  EXPECT_TRUE(refused(sample, 4));      // loop at the end
  EXPECT_TRUE(refused(sample + 1, 6));  // not whole lines
  const size_t ornament = bytes[69] | bytes[70] << 8;
  EXPECT_TRUE(refused(ornament + 1, 0));  // no lines
  AscModule asc;
  asc.patterns = {Tracks{Bytes{0x40, 0xFF}, Bytes{0x40, 0xFF}, Bytes{0x40, 0xFF}}};
  const Bytes other = make_asc(asc);
  EXPECT_FALSE(kGtrFormat.detect(other.data(), other.size()));
}

class GtrCuts : public testing::Test {
 protected:
  void SetUp() override {
    work_ = fs::temp_directory_path() / ("tools_gtr_cuts_" + std::to_string(::getpid()));
    fs::create_directories(work_);
  }
  void TearDown() override { fs::remove_all(work_); }
  fs::path work_;
};

TEST_F(GtrCuts, EveryCutOfAModuleIsRefusedAndTheRendererWritesNoWav) {
  GtrLine through;
  through.envelope = true;
  GtrModule module = one_track({0xE9, 0xC8, 0x30, 0x61, 0x72, 0x82, kC4, kSoundOff, kEmptyRow, kC4 + 1, kEnd});
  module.samples.push_back(GtrSample{0, {GtrLine{}, through}});
  module.ornaments = {GtrOrnament{}, GtrOrnament{}, GtrOrnament{1, {0, 3, 7}}};
  const Bytes bytes = make_gtr(module);
  ASSERT_FALSE(parse(bytes).frames.empty());
  for (size_t size = 0; size < bytes.size(); ++size) {
    SCOPED_TRACE(size);
    const Bytes cut(bytes.begin(), bytes.begin() + static_cast<long>(size));
    AySong song;
    std::string error;
    EXPECT_FALSE(kGtrFormat.parse(cut.data(), cut.size(), &song, &error));
    EXPECT_EQ(tools::open_tune(cut, "cut.gtr", &error), nullptr);
    // The renderer as the converter runs it, on a spread of the cuts.
    if (size % 37 != 0 && size + 1 != bytes.size()) continue;
    const fs::path source = work_ / "cut.gtr";
    std::ofstream(source, std::ios::binary).write(reinterpret_cast<const char*>(cut.data()),
                                                  static_cast<std::streamsize>(cut.size()));
    const tools_test::ToolRun run = tools_test::run_tool(TOOLS_AMIGA, {"/adp", source.string()}, work_.string());
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_FALSE(fs::exists(work_ / "cut.wav"));
  }
}

}  // namespace
