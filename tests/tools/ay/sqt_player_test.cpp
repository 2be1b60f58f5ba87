// SQ-Tracker on modules the tests make: notes with their sample byte, the
// volume-or-ornament byte, the envelope effect, noise, the 32-line samples
// and their loops, effects alone, the positions' attenuation, runs of empty
// rows, loops of the position list, and modules that must be refused.
#include "tools/renderer/ay/sqt_player.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/tools/ay/tracker_module_maker.h"

namespace {

using tools::ay::AySong;
using tools::ay::kSqtFormat;
using namespace tracker_test;

// Channel A plays pattern 1 (`data`), B and C pattern 2 (a rest), each
// `rows` rows long.
SqtModule one_channel(const Bytes& data, int rows,
                      std::vector<SqtSample> samples = std::vector<SqtSample>(1)) {
  SqtModule m;
  Bytes rest = {0x6F};
  for (int left = rows - 1; left > 0; left -= 16)
    rest.push_back(static_cast<uint8_t>(0xA0 + std::min(left, 16) - 1));
  m.patterns = {SqtPattern{rows, data}, SqtPattern{rows, rest}};
  m.positions = {SqtPosition{{1, 2, 2}, {0, 0, 0}, 1}};
  m.samples = std::move(samples);
  return m;
}

SqtSample with_lines(std::vector<SqtLine> lines, int loop = 32, int loop_length = 0) {
  SqtSample sample;
  sample.lines = std::move(lines);
  sample.loop = loop;
  sample.loop_length = loop_length;
  return sample;
}

AySong play_sqt(const SqtModule& m) { return play(kSqtFormat, make_sqt(m)); }

TEST(SqtPlayerTest, NoteWithItsSampleSoundsAtItsTablePeriod) {
  AySong song = play_sqt(one_channel({0x02, 0x81, 0x0E}, 2, {with_lines({SqtLine{12}})}));
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(tone(song, 0, 0), 0xD60);
  EXPECT_EQ(tone(song, 1, 0), 0x6B0);  // the same sample plays on
  EXPECT_EQ(level(song, 0, 0), 12);
  EXPECT_EQ(reg(song, 0, 7), 0x3E);
  EXPECT_EQ(level(song, 0, 1), 0);
  EXPECT_TRUE(song.title.empty());
}

TEST(SqtPlayerTest, SecondByteGivesVolumeOrOrnament) {
  SqtModule m = one_channel({0x02, 0xC1, 0x80, 0x02, 0xD1, 0x10}, 2, {with_lines({SqtLine{12}})});
  m.ornaments = {SqtOrnament{32, 0, {12}}};
  AySong song = play_sqt(m);
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(level(song, 0, 0), 6);     // volume 8
  EXPECT_EQ(tone(song, 1, 0), 0x6B0);  // ornament 1 an octave up
  EXPECT_EQ(level(song, 1, 0), 6);     // the volume stays
}

// The last slot of the sample table is also slot 0 of the ornament table,
// and the last ornament's slot is slot 0 of the pattern table: the highest
// numbers must still play.
TEST(SqtPlayerTest, HighestSampleAndOrnamentNumbersPlay) {
  std::vector<SqtSample> samples;
  for (int n = 1; n <= 15; ++n) samples.push_back(with_lines({SqtLine{n}}));
  SqtModule m = one_channel({0x02, 0xDF, 0xF0, 0x02, 0x8E}, 2, samples);
  for (int n = 1; n <= 15; ++n) m.ornaments.push_back(SqtOrnament{32, 0, {static_cast<int8_t>(n == 15 ? 12 : 0)}});
  AySong song = play_sqt(m);
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(level(song, 0, 0), 15);
  EXPECT_EQ(tone(song, 0, 0), 0x6B0);  // ornament 15: an octave up
  EXPECT_EQ(level(song, 1, 0), 14);    // sample 14
}

TEST(SqtPlayerTest, ModuleWithOneSampleAndNoOrnamentsPlays) {
  AySong song = play_sqt(one_channel({0x02, 0x81}, 1, {with_lines({SqtLine{9}})}));
  ASSERT_EQ(song.frames.size(), 1u);
  EXPECT_EQ(level(song, 0, 0), 9);
}

TEST(SqtPlayerTest, EnvelopeEffectSetsShapeAndPeriod) {
  AySong song = play_sqt(one_channel({0x02, 0xC1, 0x0A, 0x40, 0xA0}, 2));
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(level(song, 0, 0), 0x10);
  EXPECT_EQ(reg(song, 0, 11), 0x40);
  EXPECT_EQ(reg(song, 0, 13), 10);
  EXPECT_TRUE(song.frames[0][0].shape_written);
  EXPECT_FALSE(song.frames[1][0].shape_written);
}

TEST(SqtPlayerTest, NoiseComesFromTheSampleLine) {
  SqtLine line;
  line.tone = false;
  line.noise = true;
  line.noise_period = 19;
  AySong song = play_sqt(one_channel({0x02, 0x81}, 1, {with_lines({line})}));
  ASSERT_EQ(song.frames.size(), 1u);
  EXPECT_EQ(reg(song, 0, 6), 19);
  EXPECT_EQ(reg(song, 0, 7), 0x37);
}

TEST(SqtPlayerTest, SamplesPlayTheirThirtyTwoLinesThenLoopOrEnd) {
  std::vector<SqtLine> lines;
  for (int i = 0; i < 32; ++i) lines.push_back(SqtLine{i % 16});
  AySong looping = play_sqt(one_channel({0x02, 0x81, 0xAF, 0xAF, 0xA2}, 36, {with_lines(lines, 30, 2)}));
  AySong ending = play_sqt(one_channel({0x02, 0x81, 0xAF, 0xAF, 0xA2}, 36, {with_lines(lines)}));
  ASSERT_EQ(looping.frames.size(), 36u);
  ASSERT_EQ(ending.frames.size(), 36u);
  EXPECT_EQ(level(looping, 31, 0), 15);
  EXPECT_EQ(level(looping, 32, 0), 14);  // line 30
  EXPECT_EQ(level(looping, 33, 0), 15);
  EXPECT_EQ(level(looping, 34, 0), 14);
  EXPECT_EQ(level(ending, 31, 0), 15);
  EXPECT_EQ(level(ending, 32, 0), 0);
}

TEST(SqtPlayerTest, EffectsAloneAndRest) {
  // Volume down by 3, then set volume 15 - 5, then a rest.
  AySong song =
      play_sqt(one_channel({0x02, 0x81, 0x62, 0x03, 0x63, 0x05, 0x6F}, 4, {with_lines({SqtLine{15}})}));
  ASSERT_EQ(song.frames.size(), 4u);
  EXPECT_EQ(level(song, 0, 0), 15);
  EXPECT_EQ(level(song, 1, 0), 12);
  EXPECT_EQ(level(song, 2, 0), 10);
  EXPECT_EQ(level(song, 3, 0), 0);
}

// A fade written row by row shapes the held note only; the next start of
// a sample (a note, a sample byte alone or a retrigger) is heard at the
// note's volume again, and a volume a note named stays for later notes.
TEST(SqtPlayerTest, VolumeEffectsShapeOnlyTheNoteTheyFollow) {
  Bytes rows = {0x02, 0x81, 0x62, 0x0F, 0x05, 0x81, 0x62, 0x0F, 0xB0, 0x62, 0x0F, 0x81,
                0x02, 0xC1, 0x80, 0x62, 0x02, 0xB0};
  AySong song = play_sqt(one_channel(rows, 10, {with_lines({SqtLine{12}})}));
  ASSERT_EQ(song.frames.size(), 10u);
  for (int frame : {0, 2, 4, 6}) EXPECT_EQ(level(song, frame, 0), 12) << frame;
  for (int frame : {1, 3, 5}) EXPECT_EQ(level(song, frame, 0), 0) << frame;
  EXPECT_EQ(tone(song, 2, 0), 0xB28);  // the second note is note 5
  EXPECT_EQ(level(song, 7, 0), 6);     // volume 8
  EXPECT_LT(level(song, 8, 0), 6);
  EXPECT_EQ(level(song, 9, 0), 6);     // the retrigger: volume 8 again
}

TEST(SqtPlayerTest, PositionAttenuatesItsChannels) {
  SqtModule m = one_channel({0x02, 0x81}, 1, {with_lines({SqtLine{12}})});
  m.positions[0].attenuation = {3, 0, 0};
  AySong song = play_sqt(m);
  ASSERT_EQ(song.frames.size(), 1u);
  EXPECT_EQ(level(song, 0, 0), 9);
}

TEST(SqtPlayerTest, EmptyRowRunsAndDelay) {
  SqtModule m = one_channel({0x02, 0x81, 0xA2, 0x05, 0x81}, 5);
  m.positions[0].delay = 3;
  AySong song = play_sqt(m);
  ASSERT_EQ(song.frames.size(), 15u);
  EXPECT_EQ(tone(song, 11, 0), 0xD60);
  EXPECT_EQ(tone(song, 12, 0), 0xB28);  // row 4: note 5
}

TEST(SqtPlayerTest, LoopFrameIsWhereTheLoopPositionBegins) {
  SqtModule m = one_channel({0x02, 0x81}, 1);
  m.positions = {SqtPosition{{1, 2, 2}, {0, 0, 0}, 2}, SqtPosition{{1, 2, 2}, {0, 0, 0}, 3}};
  m.loop = 1;
  AySong song = play_sqt(m);
  EXPECT_EQ(song.frames.size(), 2u + 3u);
  EXPECT_EQ(song.loop_frame, 2);
}

TEST(SqtPlayerTest, BrokenModulesAreRefusedWithoutReadingPastThem) {
  Bytes good = make_sqt(one_channel({0x02, 0x81}, 1));
  ASSERT_TRUE(kSqtFormat.detect(good.data(), good.size()));
  AySong song;
  std::string error;
  for (size_t size = 0; size < good.size(); ++size) {
    Bytes cut(good.begin(), good.begin() + size);
    EXPECT_FALSE(kSqtFormat.detect(cut.data(), cut.size()) &&
                 kSqtFormat.parse(cut.data(), cut.size(), &song, &error))
        << size;
  }
  SqtModule empty = one_channel({0x02, 0x81}, 1);
  empty.positions.clear();
  Bytes no_positions = make_sqt(empty);
  EXPECT_FALSE(kSqtFormat.detect(no_positions.data(), no_positions.size()));

  SqtModule beyond = one_channel({0x02, 0x81}, 1);
  beyond.positions[0].patterns = {3, 2, 2};  // two patterns exist
  Bytes no_pattern = make_sqt(beyond);
  EXPECT_FALSE(kSqtFormat.detect(no_pattern.data(), no_pattern.size()));

  Bytes moved = good;
  moved[2] = 0x00;  // the sample table's address below the module's
  moved[3] = 0x00;
  EXPECT_FALSE(kSqtFormat.detect(moved.data(), moved.size()));
}

}  // namespace
