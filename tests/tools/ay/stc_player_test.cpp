// Sound Tracker modules made by zx_module_maker: samples with and without
// their repeat, ornaments, envelopes, transposition, the layout the
// detection insists on, and truncated files.
#include <gtest/gtest.h>

#include "tests/tools/ay/zx_module_maker.h"
#include "tools/renderer/ay/pt2_player.h"
#include "tools/renderer/ay/pt3_player.h"
#include "tools/renderer/ay/stc_player.h"
#include "tools/renderer/ay/zx_tables.h"

namespace {

using tools::ay::AySong;
using tools::ay::kStcFormat;
using namespace zx_test;

constexpr uint8_t kSample1 = 0x61;
constexpr uint8_t kEmptyRow = 0x81;
constexpr uint8_t kEnd = 0xFF;
constexpr int kC4 = 36;

// Lines that tell themselves apart: line i raises the period by i.
StcSample numbered_sample(int repeat, int repeat_length) {
  StcSample sample;
  for (int i = 0; i < 32; ++i) sample.lines[i].tone_offset = i;
  sample.repeat = repeat;
  sample.repeat_length = repeat_length;
  return sample;
}

StcModule one_track(const Bytes& track) {
  StcModule module;
  module.patterns = {StcPattern{1, Tracks{track, Bytes{kEmptyRow, kEnd}, Bytes{kEmptyRow, kEnd}}}};
  return module;
}

AySong parse(const Bytes& bytes) {
  AySong song;
  std::string error;
  EXPECT_TRUE(kStcFormat.detect(bytes.data(), bytes.size()));
  EXPECT_TRUE(kStcFormat.parse(bytes.data(), bytes.size(), &song, &error)) << error;
  return song;
}

const tools::ay::zx::NoteTable& notes() { return tools::ay::zx::sound_tracker_notes(); }

TEST(StcPlayer, SampleWithoutRepeatEndsAfterItsLines) {
  StcModule module = one_track({kSample1, kC4, kEnd});
  module.samples = {numbered_sample(0, 0)};
  module.delay = 40;
  const AySong song = parse(make_stc(module));
  ASSERT_EQ(song.frames.size(), 40u);
  for (size_t i = 0; i < 31; ++i) {
    EXPECT_EQ(tone(song.frames[i][0], 0), notes()[kC4] + i) << i;
    EXPECT_EQ(song.frames[i][0].regs[8], 15) << i;
  }
  for (size_t i = 31; i < 40; ++i) EXPECT_EQ(song.frames[i][0].regs[8], 0) << i;
}

TEST(StcPlayer, SampleRepeatLoopsItsLines) {
  // Repeat from line 5 (counted from 1) for 2 + 1 lines.
  StcModule module = one_track({kSample1, kC4, kEnd});
  module.samples = {numbered_sample(5, 2)};
  module.delay = 40;
  const std::vector<uint16_t> periods = tones(parse(make_stc(module)));
  for (size_t i = 0; i < 31; ++i) EXPECT_EQ(periods[i], notes()[kC4] + i) << i;
  const int repeated[] = {4, 5, 6, 4, 5, 6, 4, 5, 6};
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(periods[31 + i], notes()[kC4] + repeated[i]) << 31 + i;
}

TEST(StcPlayer, LinesCarrySignVolumeAndMasks) {
  StcSample sample;
  sample.lines[0].tone_offset = -0x210;
  sample.lines[1].volume = 7;
  sample.lines[1].tone = false;
  sample.lines[1].noise = true;
  sample.lines[1].noise_period = 17;
  constexpr int kC2 = 12;  // low enough to take the offset
  StcModule module = one_track({kSample1, kC2, kEnd});
  module.samples = {sample};
  module.delay = 2;
  const AySong song = parse(make_stc(module));
  EXPECT_EQ(tone(song.frames[0][0], 0), notes()[kC2] - 0x210);
  EXPECT_EQ(song.frames[0][0].regs[7] & 0x09, 0x08);
  EXPECT_EQ(song.frames[1][0].regs[7] & 0x09, 0x01);
  EXPECT_EQ(song.frames[1][0].regs[6], 17);
  EXPECT_EQ(song.frames[1][0].regs[8], 7);
}

TEST(StcPlayer, OrnamentsTranspositionAndEnvelopesShareTheNote) {
  StcOrnament ornament;
  ornament.number = 3;
  ornament.offsets[1] = 12;
  ornament.offsets[2] = 7;
  StcModule module = one_track({0x73, kSample1, kC4, 0x8C, 0x40, kC4, 0x80, kEnd});
  module.ornaments.push_back(ornament);
  module.positions = {{1, -2}};
  module.delay = 3;
  const AySong song = parse(make_stc(module));
  ASSERT_EQ(song.frames.size(), 9u);
  EXPECT_EQ(tone(song.frames[0][0], 0), notes()[kC4 - 2]);
  EXPECT_EQ(tone(song.frames[1][0], 0), notes()[kC4 - 2 + 12]);
  EXPECT_EQ(tone(song.frames[2][0], 0), notes()[kC4 - 2 + 7]);
  // The envelope takes the ornament's place: shape 12, period 0x40.
  EXPECT_TRUE(song.frames[3][0].shape_written);
  EXPECT_EQ(song.frames[3][0].regs[13], 12);
  EXPECT_EQ(envelope_period(song.frames[3][0]), 0x40);
  EXPECT_EQ(song.frames[3][0].regs[8], 0x10 | 15);
  EXPECT_EQ(tone(song.frames[4][0], 0), notes()[kC4 - 2]);
  EXPECT_FALSE(song.frames[4][0].shape_written);
  // 0x80 rests.
  EXPECT_EQ(song.frames[6][0].regs[8], 0);
}

TEST(StcPlayer, PositionsPlayOnceAndLoopToTheStart) {
  StcModule module;
  module.patterns = {StcPattern{7, Tracks{Bytes{0xA2, kSample1, kC4, kEnd}, Bytes{kEmptyRow, kEnd}, Bytes{kEmptyRow, kEnd}}},
                     StcPattern{2, Tracks{Bytes{0xA1, kSample1, kC4 + 1, kEnd}, Bytes{kEmptyRow, kEnd}, Bytes{kEmptyRow, kEnd}}}};
  module.positions = {{7, 0}, {2, 0}, {7, 1}};
  module.delay = 2;
  const AySong song = parse(make_stc(module));
  // 0xA2: a note lasts 2 rows, 0xA1: one.
  ASSERT_EQ(song.frames.size(), 4u + 2u + 4u);
  EXPECT_EQ(song.loop_frame, 0);
  EXPECT_EQ(tone(song.frames[4][0], 0), notes()[kC4 + 1]);
  EXPECT_EQ(tone(song.frames[6][0], 0), notes()[kC4 + 1]) << "transposed by one";
  EXPECT_EQ(song.program, "Sound Tracker");
  EXPECT_TRUE(song.title.empty()) << "the compiler's stamp is no title";
}

TEST(StcPlayer, NamedIdentifierBecomesTheTitle) {
  StcModule module = one_track({kSample1, kC4, kEnd});
  module.identifier = "MY LITTLE SONG";
  EXPECT_EQ(parse(make_stc(module)).title, "MY LITTLE SONG");
}

TEST(StcPlayer, DetectionInsistsOnTheCompilersLayout) {
  StcModule module = one_track({kSample1, kC4, kEnd});
  const Bytes bytes = make_stc(module);
  EXPECT_TRUE(kStcFormat.detect(bytes.data(), bytes.size()));
  EXPECT_FALSE(tools::ay::kPt3Format.detect(bytes.data(), bytes.size()));
  EXPECT_FALSE(tools::ay::kPt2Format.detect(bytes.data(), bytes.size()));

  StcModule missing = module;
  missing.positions = {{1, 0}, {9, 0}};  // no pattern 9
  const Bytes without = make_stc(missing);
  EXPECT_FALSE(kStcFormat.detect(without.data(), without.size()));

  Bytes shifted = bytes;
  shifted[1] += 1;  // the positions no longer follow whole samples
  EXPECT_FALSE(kStcFormat.detect(shifted.data(), shifted.size()));

  StcModule empty = module;
  empty.patterns[0].tracks[0] = {kEnd};
  const Bytes silent = make_stc(empty);
  AySong song;
  std::string error;
  EXPECT_FALSE(kStcFormat.parse(silent.data(), silent.size(), &song, &error));
}

// Sound Tracker's own saves put the ornaments before the positions; the
// tables are found by their pointers, so the song plays as compiled.
TEST(StcPlayer, OrnamentsBeforeThePositionsPlayTheSame) {
  StcModule module = one_track({0x73, kSample1, kC4, kEnd});
  StcOrnament ornament;
  ornament.number = 3;
  for (int i = 0; i < 32; ++i) ornament.offsets[i] = static_cast<int8_t>(i % 3 * 4);
  module.ornaments.push_back(ornament);
  module.positions = {{1, 0}, {1, 2}};
  const Bytes compiled = make_stc(module);
  const size_t positions = compiled[1] | compiled[2] << 8;
  const size_t ornaments = compiled[3] | compiled[4] << 8;
  const size_t patterns = compiled[5] | compiled[6] << 8;
  Bytes saved(compiled.begin(), compiled.begin() + positions);
  saved.insert(saved.end(), compiled.begin() + ornaments, compiled.begin() + patterns);
  saved.insert(saved.end(), compiled.begin() + positions, compiled.begin() + ornaments);
  saved.insert(saved.end(), compiled.begin() + patterns, compiled.end());
  saved[3] = static_cast<uint8_t>(positions);
  saved[4] = static_cast<uint8_t>(positions >> 8);
  const size_t moved = positions + (patterns - ornaments);
  saved[1] = static_cast<uint8_t>(moved);
  saved[2] = static_cast<uint8_t>(moved >> 8);
  const AySong expected = parse(compiled);
  const AySong song = parse(saved);
  ASSERT_EQ(song.frames.size(), expected.frames.size());
  for (size_t f = 0; f < song.frames.size(); ++f) ASSERT_EQ(song.frames[f][0].regs, expected.frames[f][0].regs) << f;
}

TEST(StcPlayer, EveryTruncationIsRefused) {
  StcModule module = one_track({0x70, kSample1, kC4, 0x8A, 0x20, kC4 + 3, kEnd});
  const Bytes bytes = make_stc(module);
  for (size_t size = 0; size < bytes.size(); ++size) {
    AySong song;
    std::string error;
    EXPECT_FALSE(kStcFormat.parse(bytes.data(), size, &song, &error)) << size;
  }
}

}  // namespace
