// Pro Sound Maker modules made by tracker_module_maker: relative notes,
// each command, samples and ornaments with and without loops, the
// envelope modes, the position list, and broken and cut files.
#include <gtest/gtest.h>

#include "tests/tools/ay/tracker_module_maker.h"
#include "tools/renderer/ay/psc_player.h"
#include "tools/renderer/ay/psm_player.h"
#include "tools/renderer/ay/stp_player.h"
#include "tools/renderer/ay/tracker_frames.h"

namespace {

using tools::ay::AySong;
using tools::ay::kPsmFormat;
using namespace tracker_test;

constexpr uint8_t kSample1 = 0x61;
constexpr uint8_t kSample2 = 0x62;
constexpr uint8_t kOrnament0 = 0x70;
constexpr uint8_t kRest = 0x60;
constexpr uint8_t kEmptyRow = 0x90;
constexpr uint8_t kOneRow = 0xB8;
constexpr uint8_t kFollowNotes = 0xFB;
constexpr uint8_t kEnd = 0xFF;
constexpr int kBase = 24;  // where each track's steps start

int period(int note) { return tools::ay::tracker::asm_notes()[note]; }

PsmModule one_track(const Bytes& track, int delay = 1) {
  PsmModule module;
  module.patterns = {PsmPattern{delay, Tracks{track, Bytes{kEmptyRow, kEnd}, Bytes{kEmptyRow, kEnd}}}};
  return module;
}

AySong parse(const PsmModule& module) {
  const Bytes bytes = make_psm(module);
  EXPECT_TRUE(kPsmFormat.detect(bytes.data(), bytes.size()));
  AySong song;
  std::string error;
  EXPECT_TRUE(kPsmFormat.parse(bytes.data(), bytes.size(), &song, &error)) << error;
  return song;
}

bool refused(const PsmModule& module) {
  const Bytes bytes = make_psm(module);
  AySong song;
  std::string error;
  return !kPsmFormat.parse(bytes.data(), bytes.size(), &song, &error);
}

bool tone_on(const AySong& song, size_t frame, int channel) { return !(reg(song, frame, 7) >> channel & 1); }
bool noise_on(const AySong& song, size_t frame, int channel) { return !(reg(song, frame, 7) >> (channel + 3) & 1); }
int envelope_period(const AySong& song, size_t frame) { return reg(song, frame, 11) | reg(song, frame, 12) << 8; }

TEST(PsmPlayer, NotesStepFromTheNoteBeforeRoundTheTable) {
  // +5, -2 (0x5E), -24 (0x48) down to the bottom, then 0x50 round past it.
  const AySong song = parse(one_track({kSample1, 0x05, 0x5E, 0x48, 0x50, 0x00, kEnd}));
  ASSERT_EQ(song.frames.size(), 5u);
  EXPECT_EQ(tone(song, 0, 0), period(kBase + 5));
  EXPECT_EQ(tone(song, 1, 0), period(kBase + 3));
  EXPECT_EQ(tone(song, 2, 0), period(kBase + 3 - 24));
  EXPECT_EQ(tone(song, 3, 0), period(kBase + 3 - 24 + 80));
  EXPECT_EQ(tone(song, 4, 0), period(kBase + 3 - 24 + 80));
}

TEST(PsmPlayer, EachPositionStartsItsTracksAgainWithItsTransposition) {
  PsmModule module = one_track({kSample1, 0x07, kEnd});
  module.positions = {{0, 0}, {0, -3}, {0, 12}};
  const AySong song = parse(module);
  ASSERT_EQ(song.frames.size(), 3u);
  EXPECT_EQ(tone(song, 0, 0), period(kBase + 7));
  EXPECT_EQ(tone(song, 1, 0), period(kBase + 4));
  EXPECT_EQ(tone(song, 2, 0), period(kBase + 19));
}

TEST(PsmPlayer, RowLengthsRestsAndEmptyRows) {
  // A note for three rows, a rest for one, an empty row that lets the rest
  // go on, and a note that the empty row after it keeps sounding.
  const AySong song = parse(one_track({0xBA, kSample1, 0x00, kOneRow, kRest, kEmptyRow, 0x02, kEmptyRow, kEnd}, 2));
  ASSERT_EQ(song.frames.size(), 2u * (3 + 1 + 1 + 1 + 1));
  EXPECT_EQ(level(song, 0, 0), 15);
  EXPECT_EQ(level(song, 5, 0), 15);
  EXPECT_EQ(level(song, 6, 0), 0);
  EXPECT_EQ(level(song, 8, 0), 0);
  EXPECT_EQ(tone(song, 10, 0), period(kBase + 2));
  EXPECT_EQ(level(song, 12, 0), 15);
  EXPECT_EQ(tone(song, 12, 0), period(kBase + 2));
}

TEST(PsmPlayer, VolumeTakesItsDistanceFromFifteenOffTheLevel) {
  PsmModule module = one_track({0x9A, kSample1, 0x00, 0x91, 0x00, kEnd});
  module.samples[0].lines = {PsmLine{12}, PsmLine{3}};
  const AySong song = parse(module);
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(level(song, 0, 0), 12 - 5);
  EXPECT_EQ(level(song, 1, 0), 0);  // 12 - 14, no lower than silence
}

TEST(PsmPlayer, SampleLinesMaskToneAndNoiseAndAddUpTheirToneSteps) {
  PsmModule module = one_track({kOneRow, kSample1, 0x10, kEmptyRow, kEmptyRow, kEmptyRow, kEmptyRow, kEnd});
  PsmLine noise{9, false, true, 17, 0};
  PsmLine both{14, true, true, 3, 100};
  PsmLine down{11, true, false, 0, -30};
  module.samples[0].loop = 1;
  module.samples[0].lines = {noise, both, down};
  const AySong song = parse(module);
  ASSERT_EQ(song.frames.size(), 5u);
  const int base = period(kBase + 16);
  EXPECT_FALSE(tone_on(song, 0, 0));
  EXPECT_TRUE(noise_on(song, 0, 0));
  EXPECT_EQ(reg(song, 0, 6), 17);
  EXPECT_EQ(level(song, 0, 0), 9);
  EXPECT_TRUE(tone_on(song, 1, 0) && noise_on(song, 1, 0));
  EXPECT_EQ(reg(song, 1, 6), 3);
  EXPECT_EQ(tone(song, 1, 0), base + 100);
  EXPECT_TRUE(tone_on(song, 2, 0));
  EXPECT_FALSE(noise_on(song, 2, 0));
  EXPECT_EQ(tone(song, 2, 0), base + 70);
  EXPECT_EQ(reg(song, 2, 6), 3);  // the noise period stays where a line left it
  EXPECT_EQ(tone(song, 3, 0), base + 170);  // round the loop, still adding up
  EXPECT_EQ(tone(song, 4, 0), base + 140);
}

TEST(PsmPlayer, ToneStepsWrapRoundTwelveBits) {
  // A high note stepped far down comes out as a low tone, as drums use it.
  PsmModule module = one_track({kSample1, 0x30, kEnd});
  module.samples[0].lines = {PsmLine{15, true, false, 0, -1000}};
  const AySong song = parse(module);
  ASSERT_EQ(song.frames.size(), 1u);
  EXPECT_EQ(tone(song, 0, 0), (period(kBase + 48) - 1000) & 0xFFF);
}

TEST(PsmPlayer, ASampleWithoutALoopEndsTheNote) {
  PsmModule module = one_track({0xBB, kSample1, 0x00, kEnd});
  module.samples[0].loops = false;
  module.samples[0].lines = {PsmLine{15}, PsmLine{8}};
  const AySong song = parse(module);
  ASSERT_EQ(song.frames.size(), 4u);
  EXPECT_EQ(level(song, 0, 0), 15);
  EXPECT_EQ(level(song, 1, 0), 8);
  EXPECT_EQ(level(song, 2, 0), 0);
  EXPECT_EQ(level(song, 3, 0), 0);
}

TEST(PsmPlayer, TheLevelSlidesEachTimeTheLoopHasComeRoundEnough) {
  PsmModule module = one_track({0xBF, kSample1, 0x00, 0xBF, kSample2, 0x00, kEnd});
  module.samples[0].lines = {PsmLine{12}};
  module.samples[0].slide = 0x80;
  module.samples[0].rounds = 1;  // a step every second round
  module.samples.push_back(module.samples[0]);
  module.samples[1].slide = 0xC0;
  module.samples[1].rounds = 0;
  const AySong song = parse(module);
  ASSERT_EQ(song.frames.size(), 16u);
  EXPECT_EQ(level(song, 0, 0), 12);
  EXPECT_EQ(level(song, 1, 0), 12);
  EXPECT_EQ(level(song, 2, 0), 11);
  EXPECT_EQ(level(song, 3, 0), 11);
  EXPECT_EQ(level(song, 4, 0), 10);
  EXPECT_EQ(level(song, 7, 0), 9);
  EXPECT_EQ(level(song, 8, 0), 12);
  EXPECT_EQ(level(song, 9, 0), 13);
  EXPECT_EQ(level(song, 10, 0), 14);
  EXPECT_EQ(level(song, 11, 0), 15);
  EXPECT_EQ(level(song, 15, 0), 15);  // no higher, and no envelope from it
}

TEST(PsmPlayer, OrnamentsShiftTheNoteAndANewSampleDropsThem) {
  PsmModule module = one_track({0xBB, kSample1, 0x71, 0x00, 0xB9, kSample1, 0x00, kEnd});
  module.ornaments.push_back(PsmOrnament{true, 1, {0, 4, 7}});
  const AySong song = parse(module);
  ASSERT_EQ(song.frames.size(), 6u);
  EXPECT_EQ(tone(song, 0, 0), period(kBase));
  EXPECT_EQ(tone(song, 1, 0), period(kBase + 4));
  EXPECT_EQ(tone(song, 2, 0), period(kBase + 7));
  EXPECT_EQ(tone(song, 3, 0), period(kBase + 4));  // back to the loop line
  EXPECT_EQ(tone(song, 4, 0), period(kBase));
  EXPECT_EQ(tone(song, 5, 0), period(kBase));
}

TEST(PsmPlayer, AnOrnamentWithoutALoopStaysOnItsLastLine) {
  PsmModule module = one_track({0xBB, kSample1, kOrnament0, 0x00, kEnd});
  module.ornaments[0] = PsmOrnament{false, 0, {12, -5}};
  const AySong song = parse(module);
  ASSERT_EQ(song.frames.size(), 4u);
  EXPECT_EQ(tone(song, 0, 0), period(kBase + 12));
  EXPECT_EQ(tone(song, 1, 0), period(kBase - 5));
  EXPECT_EQ(tone(song, 3, 0), period(kBase - 5));
}

TEST(PsmPlayer, AnEnvelopeWorkedOutFromTheNote) {
  // 0xA2: the note's period shifted right twice drives a falling saw; a
  // later note keeps it until 0xFB makes every note work it out again.
  PsmModule module = one_track({kSample1, 0xA2, 0x0C, 0x02, kFollowNotes, 0x03, 0xA0, 0x00, kEnd});
  const AySong song = parse(module);
  ASSERT_EQ(song.frames.size(), 4u);
  EXPECT_EQ(level(song, 0, 0), 16);
  EXPECT_TRUE(song.frames[0][0].shape_written);
  EXPECT_EQ(reg(song, 0, 13), 8);
  EXPECT_EQ(envelope_period(song, 0), period(kBase + 12) >> 2);
  EXPECT_EQ(level(song, 1, 0), 16);
  EXPECT_TRUE(song.frames[1][0].shape_written);  // each note starts the envelope again
  EXPECT_EQ(envelope_period(song, 1), period(kBase + 12) >> 2);
  EXPECT_EQ(envelope_period(song, 2), period(kBase + 17) >> 2);
  EXPECT_EQ(level(song, 3, 0), 15);  // 0xA0: no envelope
  EXPECT_FALSE(song.frames[3][0].shape_written);
}

TEST(PsmPlayer, AnEnvelopeSetByHand) {
  // The low bit of the command puts the period's nibble in its high byte.
  const AySong song = parse(one_track({kSample1, 0xB3, 0xF3, 0x00, 0xB2, 0x5A, 0x00, kEnd}));
  ASSERT_EQ(song.frames.size(), 2u);
  EXPECT_EQ(level(song, 0, 0), 16);
  EXPECT_EQ(reg(song, 0, 13), 3);
  EXPECT_EQ(envelope_period(song, 0), 0xF00);
  EXPECT_EQ(reg(song, 1, 13), 10);
  EXPECT_EQ(envelope_period(song, 1), 0x50);
}

TEST(PsmPlayer, TheVolumeCanTakeALineBelowTheEnvelope) {
  PsmModule module = one_track({0x91, kSample1, 0xB3, 0xF8, 0x00, kEnd});
  module.samples[0].lines = {PsmLine{13}, PsmLine{15}};
  module.samples[0].loop = 1;
  const AySong song = parse(module);
  ASSERT_EQ(song.frames.size(), 1u);
  EXPECT_EQ(level(song, 0, 0), 13 + 16 - 14);  // plain, just under the envelope
  module.patterns[0].tracks[0] = {0xB9, 0x91, kSample1, 0xB3, 0xF8, 0x00, kEnd};
  const AySong longer = parse(module);
  ASSERT_EQ(longer.frames.size(), 2u);
  EXPECT_EQ(level(longer, 1, 0), 16);  // 15 + 16 - 14 keeps it
}

TEST(PsmPlayer, PatternsKeepTheirOwnDelayAndTheListLoops) {
  PsmModule module = one_track({kSample1, 0x00, 0x00, kEnd}, 2);
  module.patterns.push_back(PsmPattern{3, Tracks{Bytes{kSample1, 0x01, kEnd}, Bytes{kEmptyRow, kEnd},
                                                 Bytes{kEmptyRow, kEnd}}});
  module.positions = {{0, 0}, {1, 0}, {1, 0}};
  module.loop = 1;
  const AySong song = parse(module);
  EXPECT_EQ(song.frames.size(), 2u * 2 + 3 + 3);
  EXPECT_EQ(song.loop_frame, 4);
  EXPECT_EQ(song.title, "");  // the compiler's mark is no title
  module.text = "Some Tune by Someone";
  EXPECT_EQ(parse(module).title, "Some Tune by Someone");
}

TEST(PsmPlayer, DetectionRestsOnTheHeadersConsistency) {
  const Bytes bytes = make_psm(one_track({kSample1, 0x00, kEnd}));
  ASSERT_TRUE(kPsmFormat.detect(bytes.data(), bytes.size()));
  Bytes changed = bytes;
  changed[12] = 0x7F;  // a control byte in the text
  EXPECT_FALSE(kPsmFormat.detect(changed.data(), changed.size()));
  changed = bytes;
  changed[16] = 1;  // the loop past the one position
  EXPECT_FALSE(kPsmFormat.detect(changed.data(), changed.size()));
  changed = bytes;
  changed[15] = 0;  // the position list loses its end
  EXPECT_FALSE(kPsmFormat.detect(changed.data(), changed.size()));
  changed = bytes;
  changed[13] = 5;  // a pattern past the table
  EXPECT_FALSE(kPsmFormat.detect(changed.data(), changed.size()));
  changed = bytes;
  changed[20] = 0x21;  // the sample's loop past its lines
  EXPECT_FALSE(kPsmFormat.detect(changed.data(), changed.size()));
  PscModule psc;
  psc.patterns = {Tracks{Bytes{0x80, 0x10, 0xC0, 0xFE}, Bytes{0xC0, 0xFE}, Bytes{0xC0, 0xFE}}};
  const Bytes other = make_psc(psc);
  EXPECT_FALSE(kPsmFormat.detect(other.data(), other.size()));
  EXPECT_FALSE(tools::ay::kPscFormat.detect(bytes.data(), bytes.size()));
  EXPECT_FALSE(tools::ay::kStpFormat.detect(bytes.data(), bytes.size()));
}

TEST(PsmPlayer, BrokenTracksAreRefused) {
  EXPECT_TRUE(refused(one_track({kSample2, 0x00, kEnd})));       // a sample past the table
  EXPECT_TRUE(refused(one_track({kSample1, 0x71, 0x00, kEnd})));  // an ornament past the table
  EXPECT_TRUE(refused(one_track({kSample1, 0xA1, 0x60, kEnd})));  // a step past the table's notes
  EXPECT_TRUE(refused(one_track(Bytes(70, 0x9F))));                // a row that never ends
}

TEST(PsmPlayer, EveryTruncationIsRefused) {
  PsmModule module = one_track({0x9C, kSample1, kOrnament0, 0x05, 0xA4, 0x03, kFollowNotes, 0x5F, 0xB3, 0xF1, 0x00,
                                kRest, kEmptyRow, kEnd});
  module.ornaments[0] = PsmOrnament{true, 0, {0, 12}};
  module.samples[0].lines = {PsmLine{15}, PsmLine{10, false, true, 4, 0}};
  const Bytes bytes = make_psm(module);
  AySong song;
  std::string error;
  ASSERT_TRUE(kPsmFormat.parse(bytes.data(), bytes.size(), &song, &error)) << error;
  for (size_t size = 0; size < bytes.size(); ++size)
    EXPECT_FALSE(kPsmFormat.parse(bytes.data(), size, &song, &error)) << size;
}

}  // namespace
