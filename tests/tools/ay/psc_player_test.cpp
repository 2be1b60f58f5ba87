// Pro Sound Creator on modules the tests make: rows, volumes, the envelope
// command, noise, ornaments, sample loops and slides, both offset styles,
// loops of the position list, and modules that must be refused.
#include "tools/renderer/ay/psc_player.h"

#include <gtest/gtest.h>

#include "tests/tools/ay/tracker_module_maker.h"

namespace {

using tools::ay::AySong;
using tools::ay::kPscFormat;
using namespace tracker_test;

// Channel A plays `track` for `rows` rows; B and C pause that long.
PscModule one_channel(const Bytes& track, int rows,
                      std::vector<PscSample> samples = std::vector<PscSample>(1)) {
  PscModule m;
  m.delay = 1;
  Bytes pause = {0x7C, static_cast<uint8_t>(0xC0 + rows - 1), 0xFE};
  m.patterns = {Tracks{track, pause, pause}};
  m.positions = {PscPosition{0, rows}};
  m.samples = std::move(samples);
  return m;
}

PscSample lines(std::vector<PscLine> l, int loop = 0) {
  PscSample sample;
  sample.lines = std::move(l);
  sample.loop = loop;
  return sample;
}

AySong play_psc(const PscModule& m) { return play(kPscFormat, make_psc(m)); }

TEST(PscPlayerTest, NoteSoundsAtItsTablePeriodWithTheSampleLevel) {
  // Sample 0, ornament 0, volume 15, note 2 for a row, note 14 for a row.
  AySong song =
      play_psc(one_channel({0x80, 0xA0, 0x66, 0x02, 0xC0, 0x0E, 0xC0, 0xFE}, 2, {lines({PscLine{12}})}));
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(tone(song, 0, 0), 0xD3E);
  EXPECT_EQ(tone(song, 1, 0), 0x69F);
  EXPECT_EQ(level(song, 0, 0), 12);
  EXPECT_EQ(reg(song, 0, 7), 0x3E);
  EXPECT_EQ(level(song, 0, 1), 0);
  EXPECT_EQ(song.title, "made psc title");
  EXPECT_EQ(song.author, "made psc author");
  EXPECT_EQ(song.program, "Pro Sound Creator 1.07");
}

TEST(PscPlayerTest, ChannelVolumeScalesTheSampleLevel) {
  AySong song = play_psc(one_channel({0x5F, 0x10, 0xC0, 0x58, 0x10, 0xC0, 0xFE}, 2, {lines({PscLine{12}})}));
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(level(song, 0, 0), 6);
  EXPECT_EQ(level(song, 1, 0), 1);
}

TEST(PscPlayerTest, EnvelopeCommandSetsShapeAndPeriod) {
  PscLine line;
  line.envelope = true;
  AySong song = play_psc(one_channel({0x7A, 0x0A, 0x40, 0x01, 0x10, 0xC1, 0xFE}, 2, {lines({line})}));
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(level(song, 0, 0), 0x10);
  EXPECT_EQ(reg(song, 0, 11), 0x40);
  EXPECT_EQ(reg(song, 0, 12), 0x01);
  EXPECT_EQ(reg(song, 0, 13), 10);
  EXPECT_TRUE(song.frames[0][0].shape_written);
  EXPECT_FALSE(song.frames[1][0].shape_written);
}

TEST(PscPlayerTest, NoiseStepsAddUp) {
  PscLine line;
  line.tone = false;
  line.noise = true;
  line.noise_step = 5;
  AySong song = play_psc(one_channel({0x10, 0xC2, 0xFE}, 3, {lines({line})}));
  ASSERT_EQ(song.frames.size(), 3u);
  EXPECT_EQ(reg(song, 0, 6), 5);
  EXPECT_EQ(reg(song, 1, 6), 10);
  EXPECT_EQ(reg(song, 2, 6), 15);
  EXPECT_EQ(reg(song, 0, 7), 0x37);
}

TEST(PscPlayerTest, OrnamentStepsAddUpAndLoop) {
  PscModule m = one_channel({0xA1, 0x02, 0xC3, 0xFE}, 4);
  PscOrnament chord;
  chord.steps = {4, 3, -7};
  m.ornaments = {PscOrnament{}, chord};
  AySong song = play_psc(m);
  ASSERT_EQ(song.frames.size(), 4u);
  const int expected[] = {0xA82, 0x8D6, 0xD3E, 0xA82};
  for (int f = 0; f < 4; ++f) EXPECT_EQ(tone(song, f, 0), expected[f]) << f;
}

TEST(PscPlayerTest, SampleLoopsFromItsMarkedLine) {
  AySong from_second = play_psc(one_channel({0x02, 0xC3, 0xFE}, 4, {lines({PscLine{15}, PscLine{10}}, 1)}));
  AySong from_first = play_psc(one_channel({0x02, 0xC3, 0xFE}, 4, {lines({PscLine{15}, PscLine{10}}, 0)}));
  ASSERT_EQ(from_second.frames.size(), 4u);
  ASSERT_EQ(from_first.frames.size(), 4u);
  const int second[] = {15, 10, 10, 10}, first[] = {15, 10, 15, 10};
  for (int f = 0; f < 4; ++f) {
    EXPECT_EQ(level(from_second, f, 0), second[f]) << f;
    EXPECT_EQ(level(from_first, f, 0), first[f]) << f;
  }
}

TEST(PscPlayerTest, VolumeSlideAndPause) {
  PscLine fade;
  fade.volume = 10;
  fade.slide = -1;
  AySong song = play_psc(one_channel({0x02, 0xC2, 0x7C, 0xC0, 0xFE}, 4, {lines({fade})}));
  ASSERT_EQ(song.frames.size(), 4u);
  EXPECT_EQ(level(song, 0, 0), 9);
  EXPECT_EQ(level(song, 1, 0), 8);
  EXPECT_EQ(level(song, 2, 0), 7);
  EXPECT_EQ(level(song, 3, 0), 0);
  EXPECT_EQ(reg(song, 3, 7) & 1, 1);
}

TEST(PscPlayerTest, EarlyVersionsCountOffsetsFromTheModule) {
  PscModule m = one_channel({0x80, 0x02, 0xC0, 0xFE}, 1, {lines({PscLine{9}})});
  m.version = 3;
  AySong song = play_psc(m);
  ASSERT_EQ(song.frames.size(), 1u);
  EXPECT_EQ(level(song, 0, 0), 9);
  EXPECT_EQ(tone(song, 0, 0), 0xD3E);
}

TEST(PscPlayerTest, LoopFrameIsWhereTheLoopPositionBegins) {
  PscModule m = one_channel({0x02, 0xC1, 0xFE}, 2);
  m.delay = 2;
  m.patterns.push_back(m.patterns[0]);
  m.positions = {PscPosition{0, 1}, PscPosition{1, 2}};
  m.loop = 1;
  AySong song = play_psc(m);
  EXPECT_EQ(song.frames.size(), 2u + 4u);
  EXPECT_EQ(song.loop_frame, 2);
}

TEST(PscPlayerTest, BrokenModulesAreRefusedWithoutReadingPastThem) {
  Bytes good = make_psc(one_channel({0x02, 0xC0, 0xFE}, 1));
  ASSERT_TRUE(kPscFormat.detect(good.data(), good.size()));
  AySong song;
  std::string error;
  for (size_t size = 0; size < good.size(); ++size) {
    Bytes cut(good.begin(), good.begin() + size);
    EXPECT_FALSE(kPscFormat.detect(cut.data(), cut.size()) &&
                 kPscFormat.parse(cut.data(), cut.size(), &song, &error))
        << size;
  }
  PscModule empty = one_channel({0x02, 0xC0, 0xFE}, 1);
  empty.positions.clear();
  empty.loop = 0;
  Bytes no_positions = make_psc(empty);
  EXPECT_FALSE(kPscFormat.detect(no_positions.data(), no_positions.size()));

  Bytes endless(70, 0x60);
  endless.push_back(0xFE);
  Bytes runaway = make_psc(one_channel(endless, 1));
  EXPECT_FALSE(kPscFormat.parse(runaway.data(), runaway.size(), &song, &error));

  // Sample 5 of a module with one sample.
  Bytes missing = make_psc(one_channel({0x85, 0x02, 0xC0, 0xFE}, 1));
  EXPECT_FALSE(kPscFormat.parse(missing.data(), missing.size(), &song, &error));

  Bytes outside = good;
  size_t positions = outside[71] | outside[72] << 8;
  outside[positions + 4] = 0xFF;
  outside[positions + 5] = 0x7F;
  EXPECT_FALSE(kPscFormat.detect(outside.data(), outside.size()));
}

}  // namespace
