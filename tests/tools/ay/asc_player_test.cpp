// ASC Sound Master on modules the tests make: what a row of each kind of
// pattern byte does to the registers, loops, both header layouts, the title
// text, and modules that must be refused.
#include "tools/renderer/ay/asc_player.h"

#include <gtest/gtest.h>

#include "tests/tools/ay/tracker_module_maker.h"

namespace {

using tools::ay::AySong;
using tools::ay::kAscFormat;
using namespace tracker_test;

const Bytes kRest = {0x9F, 0x5D, 0xFF};  // 64 rows of silence

// Channel A plays `track`; B and C rest for as long.
AscModule one_channel(const Bytes& track, std::vector<AscSample> samples = {AscSample{}}) {
  AscModule m;
  m.delay = 1;
  m.patterns = {Tracks{track, kRest, kRest}};
  m.samples = std::move(samples);
  return m;
}

class AscPlayerTest : public ::testing::Test {
 protected:
  AySong play_asc(const AscModule& m) { return play(kAscFormat, make_asc(m)); }
};

TEST_F(AscPlayerTest, NoteSoundsAtItsTablePeriodWithTheSampleLevel) {
  AscSample sample;
  sample.lines = {AscLine{12}};
  // Sample 0, ornament 0, volume 15, one row per note, note 2, end.
  AySong song = play_asc(one_channel({0xA0, 0xC0, 0xEF, 0x60, 0x02, 0x0E, 0xFF}, {sample}));
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(tone(song, 0, 0), 0xD3E);
  EXPECT_EQ(tone(song, 1, 0), 0x69F);  // note 14, an octave up
  EXPECT_EQ(level(song, 0, 0), 12);
  EXPECT_EQ(reg(song, 0, 7), 0x3E);  // tone A only
  EXPECT_EQ(level(song, 0, 1), 0);
  EXPECT_EQ(song.title, "made asc title");
  EXPECT_EQ(song.author, "made asc author");
}

TEST_F(AscPlayerTest, ChannelVolumeScalesTheSampleLevel) {
  AscSample sample;
  sample.lines = {AscLine{12}};
  AySong song = play_asc(one_channel({0xE8, 0x60, 0x10, 0xE1, 0x10, 0xFF}, {sample}));
  ASSERT_GE(song.frames.size(), 2u);
  EXPECT_EQ(level(song, 0, 0), 6);  // 12 * 8 / 15
  EXPECT_EQ(level(song, 1, 0), 1);
}

TEST_F(AscPlayerTest, EnvelopeChannelReadsAPeriodAfterEveryNote) {
  AscLine line;
  line.envelope = true;
  AscSample sample;
  sample.lines = {line};
  // Envelope on, shape 10, then notes each with its period.
  AySong song = play_asc(one_channel({0xE0, 0xFA, 0x61, 0x10, 0x40, 0x11, 0x3C, 0xFF}, {sample}));
  ASSERT_GE(song.frames.size(), 4u);
  EXPECT_EQ(level(song, 0, 0), 0x10);
  EXPECT_EQ(reg(song, 0, 11), 0x40);
  EXPECT_EQ(reg(song, 0, 12), 0);
  EXPECT_EQ(reg(song, 0, 13), 10);
  EXPECT_TRUE(song.frames[0][0].shape_written);
  EXPECT_FALSE(song.frames[1][0].shape_written);
  EXPECT_EQ(reg(song, 2, 11), 0x3C);
  EXPECT_TRUE(song.frames[2][0].shape_written);  // each note restarts the envelope
}

TEST_F(AscPlayerTest, NoiseAddsUpFromTheChannelBase) {
  AscLine line;
  line.tone = false;
  line.noise = true;
  line.adder = 5;
  AscSample sample;
  sample.lines = {line};
  AySong song = play_asc(one_channel({0xF0, 0x03, 0x63, 0x00, 0xFF}, {sample}));
  ASSERT_GE(song.frames.size(), 3u);
  EXPECT_EQ(reg(song, 0, 6), 8);
  EXPECT_EQ(reg(song, 1, 6), 13);
  EXPECT_EQ(reg(song, 2, 6), 18);
  EXPECT_EQ(reg(song, 0, 7), 0x37);  // noise A only
}

TEST_F(AscPlayerTest, OrnamentStepsAddUpAndLoop) {
  AscModule m = one_channel({0xC1, 0x63, 0x02, 0xFF});
  AscOrnament chord;
  chord.loop = 0;
  chord.steps = {{4}, {3}, {-7}};
  m.ornaments = {AscOrnament{}, chord};
  AySong song = play_asc(m);
  ASSERT_GE(song.frames.size(), 4u);
  const int expected[] = {0xA82, 0x8D6, 0xD3E, 0xA82};  // notes 6, 9, 2, 6
  for (int f = 0; f < 4; ++f) EXPECT_EQ(tone(song, f, 0), expected[f]) << f;
}

TEST_F(AscPlayerTest, SampleLoopsUntilReleasedThenPlaysOut) {
  AscSample sample;
  sample.loop = 1;
  sample.lines = {AscLine{15}, AscLine{10}};
  AySong held = play_asc(one_channel({0x63, 0x02, 0xFF}, {sample}));
  AySong released = play_asc(one_channel({0x60, 0x02, 0x5E, 0x5F, 0x5F, 0xFF}, {sample}));
  ASSERT_GE(held.frames.size(), 4u);
  ASSERT_GE(released.frames.size(), 4u);
  const int held_levels[] = {15, 10, 10, 10};
  const int released_levels[] = {15, 10, 0, 0};
  for (int f = 0; f < 4; ++f) {
    EXPECT_EQ(level(held, f, 0), held_levels[f]) << f;
    EXPECT_EQ(level(released, f, 0), released_levels[f]) << f;
  }
}

TEST_F(AscPlayerTest, VolumeSlidesStepOncePerLoop) {
  AscLine fade;
  fade.volume = 10;
  fade.slide = -1;
  AscSample sample;
  sample.lines = {fade};
  AySong song = play_asc(one_channel({0x63, 0x02, 0xFF}, {sample}));
  ASSERT_GE(song.frames.size(), 3u);
  EXPECT_EQ(level(song, 0, 0), 9);
  EXPECT_EQ(level(song, 1, 0), 8);
  EXPECT_EQ(level(song, 2, 0), 7);
}

TEST_F(AscPlayerTest, TempoCommandChangesFramesPerRow) {
  AySong song = play_asc(one_channel({0xF4, 0x05, 0x60, 0x02, 0x02, 0xFF}));
  EXPECT_EQ(song.frames.size(), 10u);
}

TEST_F(AscPlayerTest, LoopFrameIsWhereTheLoopPositionBegins) {
  AscModule m;
  m.delay = 2;
  m.positions = {0, 1, 1};
  m.loop = 1;
  m.patterns = {Tracks{Bytes{0x60, 0x02, 0xFF}, kRest, kRest}, Tracks{Bytes{0x61, 0x05, 0xFF}, kRest, kRest}};
  m.samples = {AscSample{}};
  AySong song = play_asc(m);
  EXPECT_EQ(song.frames.size(), 2u + 4u + 4u);
  EXPECT_EQ(song.loop_frame, 2);
}

TEST_F(AscPlayerTest, VersionZeroHeaderHasNoLoopByte) {
  AscModule m = one_channel({0x60, 0x02, 0xFF});
  m.version = 0;
  m.text = false;
  Bytes module = make_asc(m);
  ASSERT_TRUE(kAscFormat.detect(module.data(), module.size()));
  AySong song = play(kAscFormat, module);
  EXPECT_EQ(song.frames.size(), 1u);
  EXPECT_EQ(song.loop_frame, 0);
  EXPECT_EQ(tone(song, 0, 0), 0xD3E);
  EXPECT_TRUE(song.title.empty());
}

TEST_F(AscPlayerTest, LastSampleAndOrnamentAndLongLinesPlay) {
  AscModule m = one_channel({0xBF, 0xDF, 0x60, 0x02, 0xFF});
  m.samples.resize(32);
  AscSample long_sample;
  long_sample.lines.clear();
  for (int i = 0; i < 200; ++i) long_sample.lines.push_back(AscLine{i % 16});
  long_sample.loop = 199;
  m.samples[31] = long_sample;
  m.ornaments.resize(32);
  m.ornaments[31].steps = {{12}};
  m.patterns[0][0] = {0xBF, 0xDF, 0x9F, 0x02, 0x9F, 0x02, 0x9F, 0x02, 0x9F, 0x02, 0xFF};
  m.patterns[0][1] = m.patterns[0][2] = {0x9F, 0x5D, 0x9F, 0x5D, 0x9F, 0x5D, 0x9F, 0x5D, 0xFF};
  AySong song = play_asc(m);
  ASSERT_EQ(song.frames.size(), 256u);
  EXPECT_EQ(tone(song, 0, 0), 0x69F);  // the ornament's octave
  EXPECT_EQ(level(song, 1, 0), 1);     // each frame a line further into the long sample
  EXPECT_EQ(level(song, 63, 0), 15);
  EXPECT_EQ(level(song, 64, 0), 0);  // the next note starts it again
}

TEST_F(AscPlayerTest, BrokenModulesAreRefusedWithoutReadingPastThem) {
  Bytes good = make_asc(one_channel({0x60, 0x02, 0xFF}));
  ASSERT_TRUE(kAscFormat.detect(good.data(), good.size()));
  for (size_t size = 0; size < good.size(); ++size) {
    Bytes cut(good.begin(), good.begin() + size);
    AySong song;
    std::string error;
    EXPECT_FALSE(kAscFormat.detect(cut.data(), cut.size()) &&
                 kAscFormat.parse(cut.data(), cut.size(), &song, &error))
        << size;
  }
  AscModule empty = one_channel({0x60, 0x02, 0xFF});
  empty.positions.clear();
  Bytes no_positions = make_asc(empty);
  EXPECT_FALSE(kAscFormat.detect(no_positions.data(), no_positions.size()));

  // A row that never comes: volume commands only.
  Bytes endless(70, 0xE5);
  endless.push_back(0xFF);
  Bytes runaway = make_asc(one_channel(endless));
  AySong song;
  std::string error;
  EXPECT_FALSE(kAscFormat.parse(runaway.data(), runaway.size(), &song, &error));
  EXPECT_FALSE(error.empty());

  // A channel's pattern data beyond the end of the module.
  Bytes outside = good;
  size_t patterns = outside[2] | outside[3] << 8;
  outside[patterns + 2] = 0xFF;
  outside[patterns + 3] = 0x7F;
  EXPECT_FALSE(kAscFormat.detect(outside.data(), outside.size()));
}

}  // namespace
