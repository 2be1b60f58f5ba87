// Pro Tracker 3 modules made by zx_module_maker: what their rows, samples,
// ornaments and effects write into the chip's registers, how the position
// list is walked, the TurboSound layouts, and broken or truncated files.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/tools/ay/zx_module_maker.h"
#include "tools/renderer/ay/pt2_player.h"
#include "tools/renderer/ay/pt3_player.h"
#include "tools/renderer/ay/stc_player.h"
#include "tools/renderer/ay/zx_tables.h"

namespace {

using tools::ay::AySong;
using tools::ay::kPt3Format;
using namespace zx_test;

constexpr uint8_t kSample1 = 0xD1;
constexpr uint8_t kEmptyRow = 0xD0;
constexpr uint8_t kEnd = 0x00;
constexpr int kC4 = 36;

uint8_t note(int n) { return static_cast<uint8_t>(0x50 + n); }

// A module whose channel A plays `track`; B and C rest.
Pt3Module one_track(const Bytes& track, std::vector<Pt3Line> lines = {Pt3Line{}}) {
  Pt3Module module;
  module.samples = {Pt3Sample{0, std::move(lines)}};
  module.patterns = {Tracks{track, Bytes{kEmptyRow, kEnd}, Bytes{kEmptyRow, kEnd}}};
  return module;
}

AySong parse(const Bytes& bytes) {
  AySong song;
  std::string error;
  EXPECT_TRUE(kPt3Format.detect(bytes.data(), bytes.size()));
  EXPECT_TRUE(kPt3Format.parse(bytes.data(), bytes.size(), &song, &error)) << error;
  return song;
}

const tools::ay::zx::NoteTable& notes(int table = 0, int version = 5) {
  return tools::ay::zx::pro_tracker3_notes(table, version);
}

TEST(Pt3Player, NotePlaysThePeriodOfTheHeadersTableAndVersion) {
  for (int version : {3, 4, 5, 6, 7}) {
    for (int table = 0; table < 4; ++table) {
      Pt3Module module = one_track({kSample1, note(kC4), kEnd});
      module.header = "ProTracker 3." + std::to_string(version);
      module.note_table = table;
      const AySong song = parse(make_pt3(module));
      ASSERT_FALSE(song.frames.empty());
      EXPECT_EQ(tone(song.frames[0][0], 0), notes(table, version)[kC4]) << "3." << version << " table " << table;
      EXPECT_EQ(song.frames[0][0].regs[8], 15);
      EXPECT_EQ(song.frames[0][0].regs[7] & 0x09, 0x08) << "tone on, noise off";
    }
  }
  // A Vortex Tracker header has no digit: it plays as 3.6.
  Pt3Module vortex = one_track({kSample1, note(kC4), kEnd});
  vortex.header = "Vortex Tracker II";
  vortex.note_table = 2;
  const AySong song = parse(make_pt3(vortex));
  EXPECT_EQ(tone(song.frames[0][0], 0), notes(2, 6)[kC4]);
  EXPECT_EQ(song.program, "Vortex Tracker II");
}

TEST(Pt3Player, ChannelVolumeScalesTheSampleByTheVersionsTable) {
  // Volume 2 and amplitude 4 fall between levels: the 3.4 table cuts to
  // 0, the 3.5 table rounds to 1.
  for (int version : {4, 5}) {
    Pt3Line line;
    line.amplitude = 4;
    Pt3Module module = one_track({0xC2, kSample1, note(kC4), kEnd}, {line});
    module.header = "ProTracker 3." + std::to_string(version);
    const AySong song = parse(make_pt3(module));
    EXPECT_EQ(song.frames[0][0].regs[8], tools::ay::zx::pro_tracker3_volumes(version)[2][4]);
    EXPECT_EQ(song.frames[0][0].regs[8], version == 4 ? 0 : 1);
  }
}

TEST(Pt3Player, SampleLinesDriveToneNoiseMixerAndAmplitude) {
  Pt3Line tone_up;
  tone_up.tone_offset = 5;
  Pt3Line noisy;
  noisy.noise = true;
  noisy.tone = false;
  noisy.offset = 3;
  noisy.amplitude = 9;
  Pt3Line sliding;
  sliding.amplitude = 12;
  sliding.amplitude_slide = 1;
  Pt3Module module = one_track({0x20 + 4, kSample1, note(kC4), kEnd}, {tone_up, noisy, sliding, sliding, sliding, sliding});
  module.delay = 10;
  const AySong song = parse(make_pt3(module));
  ASSERT_GE(song.frames.size(), 6u);
  EXPECT_EQ(tone(song.frames[0][0], 0), notes()[kC4] + 5);
  EXPECT_EQ(song.frames[1][0].regs[6], 4 + 3) << "the pattern's noise plus the sample's";
  EXPECT_EQ(song.frames[1][0].regs[7] & 0x09, 0x01) << "tone off, noise on";
  EXPECT_EQ(song.frames[1][0].regs[8], 9);
  // The amplitude slide climbs a step a frame and stops at 15.
  EXPECT_EQ(song.frames[2][0].regs[8], 13);
  EXPECT_EQ(song.frames[3][0].regs[8], 14);
  EXPECT_EQ(song.frames[4][0].regs[8], 15);
  EXPECT_EQ(song.frames[5][0].regs[8], 15);
  // The sample loops on its first line: the tone comes back.
  EXPECT_EQ(tone(song.frames[6][0], 0), notes()[kC4] + 5);
}

TEST(Pt3Player, ToneAccumulationAddsUpFrameByFrame) {
  Pt3Line line;
  line.tone_offset = 2;
  line.accumulate_tone = true;
  Pt3Module module = one_track({kSample1, note(kC4), kEnd}, {line});
  module.delay = 5;
  const std::vector<uint16_t> periods = tones(parse(make_pt3(module)));
  for (size_t i = 0; i < periods.size(); ++i) EXPECT_EQ(periods[i], notes()[kC4] + 2 * (i + 1));
}

TEST(Pt3Player, EnvelopeCommandWritesShapeOnceAndSamplesOffsetThePeriod) {
  Pt3Line line;
  line.envelope = true;
  line.offset = 3;  // noise off: the offset moves the envelope
  // 0x1E: shape 14, period 0x0123 (high byte first), then sample 1 (× 2).
  Pt3Module module = one_track({0x1E, 0x01, 0x23, 0x02, note(kC4), kEnd}, {line});
  module.delay = 4;
  const AySong song = parse(make_pt3(module));
  ASSERT_EQ(song.frames.size(), 4u);
  EXPECT_TRUE(song.frames[0][0].shape_written);
  EXPECT_EQ(song.frames[0][0].regs[13], 14);
  EXPECT_EQ(envelope_period(song.frames[0][0]), 0x0123 + 3);
  EXPECT_EQ(song.frames[0][0].regs[8], 0x10 | 15);
  EXPECT_FALSE(song.frames[1][0].shape_written);
  EXPECT_EQ(song.frames[1][0].regs[13], 14);

  // 0x10 turns the envelope off for the channel; the sample's bit alone does not.
  Pt3Module off = one_track({0x10, 0x02, note(kC4), kEnd}, {line});
  EXPECT_EQ(parse(make_pt3(off)).frames[0][0].regs[8], 15);
}

TEST(Pt3Player, EnvelopeSlideMovesThePeriodEveryDelayFrames) {
  // Effect 8: delay 2, step +16 (little-endian).
  Pt3Module module = one_track({0x08, 0xB2 + 8 - 1, 0x00, 0x40, kSample1, note(kC4), 2, 16, 0, kEnd});
  module.delay = 8;
  const AySong song = parse(make_pt3(module));
  ASSERT_EQ(song.frames.size(), 8u);
  const uint16_t expected[] = {0x40, 0x40, 0x50, 0x50, 0x60, 0x60, 0x70, 0x70};
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(envelope_period(song.frames[i][0]), expected[i]) << i;
  EXPECT_EQ(song.frames[0][0].regs[13], 8);
}

TEST(Pt3Player, GlissandoStepsTheToneEveryDelayFrames) {
  // Effect 1: delay 2, step +5.
  Pt3Module module = one_track({0x01, kSample1, note(kC4), 2, 5, 0, kEnd});
  module.delay = 8;
  const std::vector<uint16_t> periods = tones(parse(make_pt3(module)));
  const int base = notes()[kC4];
  const int expected[] = {0, 0, 5, 5, 10, 10, 15, 15};
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(periods[i], base + expected[i]) << i;
}

TEST(Pt3Player, PortamentoGlidesToTheNewNoteAndStops) {
  // Row 0: C-4; row 1: effect 2 to D-4, delay 1, two unused bytes, step 7.
  Pt3Module module = one_track({kSample1, note(kC4), 0x02, note(kC4 + 2), 1, 0, 0, 7, 0, kEnd});
  module.delay = 40;
  const std::vector<uint16_t> periods = tones(parse(make_pt3(module)));
  ASSERT_EQ(periods.size(), 80u);
  const uint16_t from = notes()[kC4], to = notes()[kC4 + 2];
  EXPECT_EQ(periods[39], from);
  EXPECT_EQ(periods[40], from);
  EXPECT_EQ(periods[41], from - 7);
  for (size_t i = 41; i < periods.size(); ++i) {
    EXPECT_LE(periods[i], periods[i - 1]) << i;
    EXPECT_GE(periods[i], to) << i;
  }
  EXPECT_EQ(periods.back(), to);
}

TEST(Pt3Player, VibratoSwitchesTheChannelOffAndOn) {
  // Effect 5: on for 2 frames, off for 3.
  Pt3Module module = one_track({0x05, kSample1, note(kC4), 2, 3, kEnd});
  module.delay = 12;
  const std::vector<int> got = levels(parse(make_pt3(module)));
  const std::vector<int> expected = {15, 15, 0, 0, 0, 15, 15, 0, 0, 0, 15, 15};
  EXPECT_EQ(got, expected);
}

TEST(Pt3Player, SpeedEffectAndSkipCountTimeTheRows) {
  // Row 0 sets 2 frames a row; B1 makes each note last 2 rows.
  Pt3Module module = one_track({0x09, 0xB1, 2, kSample1, note(kC4), 2, note(kC4 + 12), kEnd});
  module.delay = 6;
  const std::vector<uint16_t> periods = tones(parse(make_pt3(module)));
  ASSERT_EQ(periods.size(), 8u) << "two notes of two rows of two frames";
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(periods[i], notes()[kC4]) << i;
  for (size_t i = 4; i < 8; ++i) EXPECT_EQ(periods[i], notes()[kC4 + 12]) << i;
}

TEST(Pt3Player, OrnamentsStepAndLoopAndOffsetsStartMidway) {
  Pt3Module module = one_track({0x40 + 1, kSample1, note(kC4), kEnd});
  module.ornaments = {Pt3Ornament{}, Pt3Ornament{1, {0, 12, 7}}};
  module.delay = 6;
  std::vector<uint16_t> periods = tones(parse(make_pt3(module)));
  const int offsets[] = {0, 12, 7, 12, 7, 12};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(periods[i], notes()[kC4 + offsets[i]]) << i;

  // Effect 4 starts the ornament at its second step, effect 3 the sample at its third line.
  std::vector<Pt3Line> lines(4);
  for (int i = 0; i < 4; ++i) lines[i].amplitude = 5 + i;
  Pt3Module offset = one_track({0x40 + 1, 0x04, 0x03, kSample1, note(kC4), 2, 1, kEnd}, lines);
  offset.ornaments = module.ornaments;
  const AySong song = parse(make_pt3(offset));
  EXPECT_EQ(tone(song.frames[0][0], 0), notes()[kC4 + 12]);
  EXPECT_EQ(song.frames[0][0].regs[8], 7);

  // Offsets beyond the table's ends stop at its first and last notes.
  Pt3Module high = one_track({0x40 + 1, kSample1, note(90), kEnd});
  high.ornaments = {Pt3Ornament{}, Pt3Ornament{0, {12, -100}}};
  periods = tones(parse(make_pt3(high)));
  EXPECT_EQ(periods[0], notes()[95]);
  EXPECT_EQ(periods[1], notes()[0]);
}

// An offset may start an ornament at its length, one step past its last;
// when that ornament ends the module, the step is no byte of it and
// shifts nothing, and the ornament then loops as usual.
TEST(Pt3Player, OrnamentOffsetAtTheLengthOfTheModulesLastOrnament) {
  Pt3Module module = one_track({0x40 + 1, 0x04, kSample1, note(kC4), 2, kEnd});
  module.delay = 6;
  Bytes bytes = make_pt3(module);
  const size_t last = bytes.size();
  bytes[169 + 2] = static_cast<uint8_t>(last);
  bytes[169 + 3] = static_cast<uint8_t>(last >> 8);
  bytes.insert(bytes.end(), {0, 2, 12, 7});  // loop, length, the steps
  const std::vector<uint16_t> periods = tones(parse(bytes));
  ASSERT_GE(periods.size(), 3u);
  EXPECT_EQ(periods[0], notes()[kC4]);
  EXPECT_EQ(periods[1], notes()[kC4 + 12]);
  EXPECT_EQ(periods[2], notes()[kC4 + 7]);
}

TEST(Pt3Player, SamplesAndOrnamentsAtTheirLongestLoopAtTheirLastLine) {
  std::vector<Pt3Line> lines(64);
  for (int i = 0; i < 64; ++i) lines[i].amplitude = i % 16;
  Pt3Ornament ornament{63, std::vector<int8_t>(64, 0)};
  ornament.offsets[63] = 1;
  Pt3Module module = one_track({0x40 + 1, kSample1, note(kC4), kEnd});
  module.samples = {Pt3Sample{63, lines}};
  module.ornaments = {Pt3Ornament{}, ornament};
  module.delay = 70;
  const AySong song = parse(make_pt3(module));
  ASSERT_EQ(song.frames.size(), 70u);
  for (size_t i = 0; i < 70; ++i) {
    EXPECT_EQ(song.frames[i][0].regs[8], std::min<size_t>(i, 63) % 16) << i;
    EXPECT_EQ(tone(song.frames[i][0], 0), notes()[kC4 + (i >= 63 ? 1 : 0)]) << i;
  }
}

TEST(Pt3Player, NoteCutSilencesTheChannel) {
  Pt3Module module = one_track({kSample1, note(kC4), 0xC0, kEnd});
  module.delay = 2;
  EXPECT_EQ(levels(parse(make_pt3(module))), (std::vector<int>{15, 15, 0, 0}));
}

TEST(Pt3Player, PositionListPlaysOnceAndMarksItsLoop) {
  Pt3Module module;
  module.samples = {Pt3Sample{}};
  for (int p = 0; p < 3; ++p) {
    module.patterns.push_back(Tracks{Bytes{kSample1, note(kC4 + p), kEnd}, Bytes{kEmptyRow, kEnd}, Bytes{kEmptyRow, kEnd}});
  }
  module.positions = {0, 1, 2, 1};
  module.loop = 2;
  module.delay = 3;
  AySong song = parse(make_pt3(module));
  ASSERT_EQ(song.frames.size(), 12u);
  EXPECT_EQ(song.loop_frame, 6);
  EXPECT_EQ(tone(song.frames[9][0], 0), notes()[kC4 + 1]);

  // A loop position past the list's end starts it over.
  module.loop = 9;
  song = parse(make_pt3(module));
  EXPECT_EQ(song.loop_frame, 0);

  // Positions whose pattern has no rows are passed over.
  module.patterns[1][0] = Bytes{kEnd};
  module.loop = 0;
  song = parse(make_pt3(module));
  EXPECT_EQ(song.frames.size(), 6u);
  EXPECT_EQ(tone(song.frames[3][0], 0), notes()[kC4 + 2]);
}

TEST(Pt3Player, RefusesListsThatPlayNothing) {
  Pt3Module module = one_track({kEnd});
  module.positions = {0, 0, 0};
  const Bytes bytes = make_pt3(module);
  AySong song;
  std::string error;
  EXPECT_FALSE(kPt3Format.parse(bytes.data(), bytes.size(), &song, &error));
  EXPECT_NE(error.find("rows"), std::string::npos) << error;

  module.positions = {};
  const Bytes empty = make_pt3(module);
  EXPECT_FALSE(kPt3Format.detect(empty.data(), empty.size()));
  EXPECT_FALSE(kPt3Format.parse(empty.data(), empty.size(), &song, &error));
}

TEST(Pt3Player, LongSongsStopAtTheCapWithoutALoop) {
  // 255 rows of 255 frames outlast twenty minutes.
  Pt3Module module = one_track({0xB1, 255, kSample1, note(kC4), kEnd});
  module.delay = 255;
  const AySong song = parse(make_pt3(module));
  EXPECT_EQ(song.frames.size(), tools::ay::kMaxFrames);
  EXPECT_EQ(song.loop_frame, -1);
}

TEST(Pt3Player, ReadsTitleAndAuthorFromTheHeader) {
  Pt3Module module = one_track({kSample1, note(kC4), kEnd});
  module.title = "  Song Of Test";
  module.author = "Some \xC0\xE2\xF2\xEE\xF0";  // code page 1251 stays as bytes
  const AySong song = parse(make_pt3(module));
  EXPECT_EQ(song.title, "Song Of Test");
  EXPECT_EQ(song.author, "Some \xC0\xE2\xF2\xEE\xF0");
  EXPECT_EQ(song.program, "Pro Tracker 3");
  EXPECT_EQ(song.chips, 1);
}

TEST(Pt3Player, VortexTurboSoundPairDrivesTwoChips) {
  Pt3Module first = one_track({kSample1, note(kC4), kEnd});
  Pt3Module second = one_track({kSample1, note(kC4 + 4), kSample1, note(kC4 + 5), kEnd});
  second.delay = 1;
  const Bytes bytes = make_turbo_sound(make_pt3(first), make_pt3(second));
  const AySong song = parse(bytes);
  EXPECT_EQ(song.chips, 2);
  ASSERT_EQ(song.frames.size(), 3u) << "the first module's length leads";
  EXPECT_EQ(tone(song.frames[0][0], 0), notes()[kC4]);
  EXPECT_EQ(tone(song.frames[0][1], 0), notes()[kC4 + 4]);
  EXPECT_EQ(tone(song.frames[1][1], 0), notes()[kC4 + 5]);
  EXPECT_EQ(tone(song.frames[2][1], 0), notes()[kC4 + 4]) << "the second module loops on its own";

  // A second module in 3.7's own TurboSound layout has no chip for its
  // mirrored half: it plays its first chip only.
  Pt3Module mirrored = second;
  mirrored.header = "ProTracker 3.7";
  mirrored.second_chip_patterns = 2;
  mirrored.patterns.push_back(first.patterns[0]);
  const AySong paired = parse(make_turbo_sound(make_pt3(first), make_pt3(mirrored)));
  EXPECT_EQ(paired.chips, 2);
  ASSERT_EQ(paired.frames.size(), 3u);
  EXPECT_EQ(tone(paired.frames[1][1], 0), notes()[kC4 + 5]);

  // A footer naming more bytes than the file has is not a module.
  Bytes lying = bytes;
  lying[lying.size() - 5] = 0x7F;
  EXPECT_FALSE(kPt3Format.detect(lying.data(), lying.size()));
}

TEST(Pt3Player, ProTracker37TurboSoundPlaysMirroredPatternsOnTheSecondChip) {
  Pt3Module module;
  module.header = "ProTracker 3.7";
  module.second_chip_patterns = 48;
  module.samples = {Pt3Sample{}};
  module.patterns.assign(48, Tracks{Bytes{kEmptyRow, kEnd}, Bytes{kEmptyRow, kEnd}, Bytes{kEmptyRow, kEnd}});
  module.patterns[1][0] = {kSample1, note(kC4), kEnd};
  // The second chip's pattern sets the speed for both.
  module.patterns[46][0] = {0x09, kSample1, note(kC4 + 7), 2, note(kC4 + 8), kEnd};
  module.positions = {1};
  module.delay = 5;
  AySong song = parse(make_pt3(module));
  EXPECT_EQ(song.chips, 2);
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(tone(song.frames[0][0], 0), notes()[kC4]);
  EXPECT_EQ(tone(song.frames[0][1], 0), notes()[kC4 + 7]);

  // Before 3.7 the byte means nothing.
  module.header = "ProTracker 3.6";
  song = parse(make_pt3(module));
  EXPECT_EQ(song.chips, 1);
}

TEST(Pt3Player, DetectsOnlyItsOwnModules) {
  const Bytes bytes = make_pt3(one_track({kSample1, note(kC4), kEnd}));
  EXPECT_TRUE(kPt3Format.detect(bytes.data(), bytes.size()));
  EXPECT_FALSE(tools::ay::kPt2Format.detect(bytes.data(), bytes.size()));
  EXPECT_FALSE(tools::ay::kStcFormat.detect(bytes.data(), bytes.size()));
  Bytes renamed = bytes;
  renamed[0] = 'Q';
  EXPECT_FALSE(kPt3Format.detect(renamed.data(), renamed.size()));
  // A position that is no multiple of 3 is no Pro Tracker 3 pattern.
  Bytes odd = bytes;
  odd[201] = 4;
  EXPECT_FALSE(kPt3Format.detect(odd.data(), odd.size()));
}

TEST(Pt3Player, EveryTruncationIsRefused) {
  Pt3Module module = one_track({0x1E, 0x01, 0x23, 0x02, note(kC4), 0x01, note(kC4 + 1), 1, 4, 0, kEnd});
  module.ornaments = {Pt3Ornament{0, {0, 3}}};
  const Bytes bytes = make_pt3(module);
  for (size_t size = 0; size < bytes.size(); ++size) {
    AySong song;
    std::string error;
    EXPECT_FALSE(kPt3Format.parse(bytes.data(), size, &song, &error)) << size;
  }
}

TEST(Pt3Player, CorruptModulesGiveRegistersInRangeOrARefusal) {
  Pt3Module module = one_track({0x1E, 0x01, 0x23, 0x02, note(kC4), 0x01, note(kC4 + 1), 1, 4, 0, 0x05, 0x40 + 1,
                                note(50), 1, 1, kEnd});
  module.ornaments = {Pt3Ornament{}, Pt3Ornament{0, {0, 3}}};
  module.positions = {0, 0};
  const Bytes original = make_pt3(module);
  uint32_t random = 12345;
  int parsed = 0;
  for (int round = 0; round < 2000; ++round) {
    Bytes bytes = original;
    for (int changes = 1 + round % 4; changes > 0; --changes) {
      random = random * 1103515245 + 12345;
      // Leave the magic alone so that the player, not the detection, meets the damage.
      const size_t at = 14 + (random >> 8) % (bytes.size() - 14);
      bytes[at] = static_cast<uint8_t>(random >> 24);
    }
    AySong song;
    std::string error;
    if (!kPt3Format.parse(bytes.data(), bytes.size(), &song, &error)) continue;
    ++parsed;
    ASSERT_FALSE(song.frames.empty());
    ASSERT_LE(song.frames.size(), tools::ay::kMaxFrames);
    for (const auto& frame : song.frames) {
      ASSERT_LE(frame[0].regs[1], 15);
      ASSERT_LE(frame[0].regs[6], 31);
      for (int c = 8; c < 11; ++c) ASSERT_LE(frame[0].regs[c], 31);
    }
  }
  EXPECT_GT(parsed, 100) << "the damage should leave many modules playable";
}

}  // namespace
