// Sound Tracker Pro on modules the tests make: notes and transposition,
// channel volume, the envelope command, noise, ornaments, samples with and
// without a loop, rests, loops of the position list, the KSA title, and
// modules that must be refused.
#include "tools/renderer/ay/stp_player.h"

#include <gtest/gtest.h>

#include "tests/tools/ay/tracker_module_maker.h"

namespace {

using tools::ay::AySong;
using tools::ay::kStpFormat;
using namespace tracker_test;

// Channel A plays `track`; B and C rest for `rows` rows.
StpModule one_channel(const Bytes& track, int rows,
                      std::vector<StpSample> samples = {StpSample{0, {StpLine{}}}}) {
  StpModule m;
  m.delay = 1;
  Bytes rest = {static_cast<uint8_t>(0x80 + rows - 1), 0xD0, 0x00};
  m.patterns = {Tracks{track, rest, rest}};
  m.samples = std::move(samples);
  return m;
}

StpSample looped(std::vector<StpLine> lines, int loop = 0) { return StpSample{loop, std::move(lines)}; }

AySong play_stp(const StpModule& m) { return play(kStpFormat, make_stp(m)); }

TEST(StpPlayerTest, NoteSoundsAtItsTablePeriodTransposedByItsPosition) {
  StpModule m = one_channel({0x61, 0x70, 0x80, 0x03, 0x0F, 0x00}, 2, {looped({StpLine{12}})});
  AySong song = play_stp(m);
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(tone(song, 0, 0), 0xD60);  // note byte 3: the table's third note
  EXPECT_EQ(tone(song, 1, 0), 0x6B0);
  EXPECT_EQ(level(song, 0, 0), 12);
  EXPECT_EQ(reg(song, 0, 7), 0x3E);
  m.positions = {{0, 12}};
  AySong up = play_stp(m);
  ASSERT_EQ(up.frames.size(), 2u);
  EXPECT_EQ(tone(up, 0, 0), 0x6B0);
}

TEST(StpPlayerTest, VolumeCommandScalesTheSampleLevel) {
  AySong song = play_stp(one_channel({0xD8, 0x80, 0x10, 0xD1, 0x10, 0x00}, 2, {looped({StpLine{12}})}));
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(level(song, 0, 0), 6);
  EXPECT_EQ(level(song, 1, 0), 1);
}

TEST(StpPlayerTest, EnvelopeCommandSetsShapeAndPeriod) {
  StpLine line;
  line.envelope = true;
  AySong song = play_stp(one_channel({0xCA, 0x40, 0x81, 0x10, 0x00}, 2, {looped({line})}));
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(level(song, 0, 0), 0x10);
  EXPECT_EQ(reg(song, 0, 11), 0x40);
  EXPECT_EQ(reg(song, 0, 13), 10);
  EXPECT_TRUE(song.frames[0][0].shape_written);
  EXPECT_FALSE(song.frames[1][0].shape_written);
}

TEST(StpPlayerTest, NoiseComesFromTheSampleLine) {
  StpLine line;
  line.tone = false;
  line.noise = true;
  line.noise_period = 7;
  AySong song = play_stp(one_channel({0x80, 0x10, 0x00}, 1, {looped({line})}));
  ASSERT_EQ(song.frames.size(), 1u);
  EXPECT_EQ(reg(song, 0, 6), 7);
  EXPECT_EQ(reg(song, 0, 7), 0x37);
}

TEST(StpPlayerTest, OrnamentOffsetsLoop) {
  StpModule m = one_channel({0x71, 0x83, 0x03, 0x00}, 4);
  m.ornaments = {StpOrnament{}, StpOrnament{0, {0, 4, 7}}};
  AySong song = play_stp(m);
  ASSERT_EQ(song.frames.size(), 4u);
  const int expected[] = {0xD60, 0xA88, 0x8E0, 0xD60};  // notes 2, 6, 9, 2
  for (int f = 0; f < 4; ++f) EXPECT_EQ(tone(song, f, 0), expected[f]) << f;
}

TEST(StpPlayerTest, SampleWithoutLoopEndsAfterItsLines) {
  std::vector<StpLine> two = {StpLine{15}, StpLine{10}};
  AySong once = play_stp(one_channel({0x83, 0x03, 0x00}, 4, {StpSample{0xFF, two}}));
  AySong looping = play_stp(one_channel({0x83, 0x03, 0x00}, 4, {StpSample{1, two}}));
  ASSERT_EQ(once.frames.size(), 4u);
  ASSERT_EQ(looping.frames.size(), 4u);
  const int ended[] = {15, 10, 0, 0}, held[] = {15, 10, 10, 10};
  for (int f = 0; f < 4; ++f) {
    EXPECT_EQ(level(once, f, 0), ended[f]) << f;
    EXPECT_EQ(level(looping, f, 0), held[f]) << f;
  }
  EXPECT_EQ(reg(looping, 3, 0), reg(looping, 1, 0));
}

TEST(StpPlayerTest, RestSilencesAndEmptyRowKeepsTheNote) {
  AySong song = play_stp(one_channel({0x80, 0x03, 0xE0, 0xD0, 0xE0, 0x00}, 4));
  ASSERT_EQ(song.frames.size(), 4u);
  EXPECT_EQ(level(song, 1, 0), 15);
  EXPECT_EQ(level(song, 2, 0), 0);
  EXPECT_EQ(level(song, 3, 0), 0);
}

TEST(StpPlayerTest, LoopFrameIsWhereTheLoopPositionBegins) {
  StpModule m = one_channel({0x80, 0x03, 0x00}, 1);
  m.delay = 2;
  m.patterns.push_back(Tracks{Bytes{0x81, 0x03, 0x00}, Bytes{0x81, 0xD0, 0x00}, Bytes{0x81, 0xD0, 0x00}});
  m.positions = {{0, 0}, {1, 0}};
  m.loop = 1;
  AySong song = play_stp(m);
  EXPECT_EQ(song.frames.size(), 2u + 4u);
  EXPECT_EQ(song.loop_frame, 2);
}

TEST(StpPlayerTest, KsaCompilerTextGivesTheTitle) {
  StpModule m = one_channel({0x80, 0x03, 0x00}, 1);
  m.ksa_title = "made stp title";
  AySong song = play_stp(m);
  ASSERT_EQ(song.frames.size(), 1u);
  EXPECT_EQ(song.title, "made stp title");
  EXPECT_TRUE(play_stp(one_channel({0x80, 0x03, 0x00}, 1)).title.empty());
}

TEST(StpPlayerTest, BrokenModulesAreRefusedWithoutReadingPastThem) {
  Bytes good = make_stp(one_channel({0x80, 0x03, 0x00}, 1));
  ASSERT_TRUE(kStpFormat.detect(good.data(), good.size()));
  AySong song;
  std::string error;
  for (size_t size = 0; size < good.size(); ++size) {
    Bytes cut(good.begin(), good.begin() + size);
    EXPECT_FALSE(kStpFormat.detect(cut.data(), cut.size()) &&
                 kStpFormat.parse(cut.data(), cut.size(), &song, &error))
        << size;
  }
  StpModule empty = one_channel({0x80, 0x03, 0x00}, 1);
  empty.positions.clear();
  Bytes no_positions = make_stp(empty);
  EXPECT_FALSE(kStpFormat.detect(no_positions.data(), no_positions.size()));

  StpModule beyond = one_channel({0x80, 0x03, 0x00}, 1);
  beyond.positions = {{1, 0}};  // only pattern 0 exists
  Bytes no_pattern = make_stp(beyond);
  EXPECT_FALSE(kStpFormat.detect(no_pattern.data(), no_pattern.size()));

  Bytes endless(70, 0xD5);
  endless.push_back(0x00);
  Bytes runaway = make_stp(one_channel(endless, 1));
  EXPECT_FALSE(kStpFormat.parse(runaway.data(), runaway.size(), &song, &error));
}

}  // namespace
