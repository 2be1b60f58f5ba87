// Sound Tracker's editor songs (ST1, alone and inside an AY file of type
// ST11) and the KSA compiler's layout (ST3), made here byte by byte: the
// note names, the sample lines with their masks, signs and repeats, the
// effects, the editor's empty patterns, the credit, and truncated files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/tools/ay/sound_tracker_forms_maker.h"
#include "tests/tools/ay/zx_module_maker.h"
#include "tools/renderer/ay/st1_player.h"
#include "tools/renderer/ay/st3_player.h"
#include "tools/renderer/ay/stc_player.h"
#include "tools/renderer/ay/zx_tables.h"

namespace {

using tools::ay::AySong;
using tools::ay::Format;
using tools::ay::kSt1Format;
using tools::ay::kSt3Format;
using zx_test::Bytes;
using zx_test::tone;
using namespace st_forms_test;

const tools::ay::zx::NoteTable& notes() { return tools::ay::zx::sound_tracker_notes(); }

AySong play(const Format& format, const Bytes& bytes) {
  AySong song;
  std::string error;
  EXPECT_TRUE(format.detect(bytes.data(), bytes.size()));
  EXPECT_TRUE(format.parse(bytes.data(), bytes.size(), &song, &error)) << error;
  return song;
}

void expect_every_cut_refused(const Format& format, const Bytes& bytes) {
  for (size_t size = 0; size < bytes.size(); ++size) {
    AySong song;
    std::string error;
    EXPECT_FALSE(format.parse(bytes.data(), size, &song, &error)) << size;
  }
}

St1 one_voice_song() {
  St1 song(2, 4);
  uint8_t* s = song.sample(1);
  for (int i = 0; i < 32; ++i) {
    s[i] = 15;
    s[32 + i] = 0x80;  // noise off, tone on
  }
  song.position(0, 1, 0);
  song.patterns(1);
  return song;
}

TEST(SoundTrackerSong, NoteNamesRunFromAAndOctavesFromC) {
  St1 song = one_voice_song();
  const uint8_t cells[4] = {st1_note(0, false, 3), st1_note(2, false, 3), st1_note(3, false, 3),
                            st1_note(6, true, 2)};
  const int expected[4] = {36 + 9, 36 + 11, 36, 24 + 6};  // A-3, B-3, C-3, F#2
  for (int row = 0; row < 4; ++row) song.cell(1, row, 0)[0] = cells[row];
  song.cell(1, 0, 0)[1] = 0x10;  // sample 1
  const AySong played = play(kSt1Format, song.bytes);
  ASSERT_EQ(played.frames.size(), 8u);
  for (int row = 0; row < 4; ++row) EXPECT_EQ(tone(played.frames[2 * row][0], 0), notes()[expected[row]]) << row;
  EXPECT_EQ(played.program, "Sound Tracker");
}

TEST(SoundTrackerSong, SampleLinesCarryMasksSignAndRepeat) {
  St1 song = one_voice_song();
  uint8_t* s = song.sample(1);
  s[32 + 0] = 0x45;  // tone off, noise 5 on
  s[64 + 2] = 0x20;  // line 1: 0x120 taken away
  s[64 + 3] = 0x01;
  s[64 + 4] = 0x30;  // line 2: 0x030 added
  s[64 + 5] = 0x10;
  s[128] = 2;  // repeat from line 2, two lines
  s[129] = 1;
  song.bytes[3007] = 40;
  song.cell(1, 0, 0)[0] = st1_note(3, false, 3);
  song.cell(1, 0, 0)[1] = 0x10;
  const AySong played = play(kSt1Format, song.bytes);
  const auto& first = played.frames[0][0].regs;
  EXPECT_EQ(first[7] & 0x09, 0x01) << "tone off, noise on";
  EXPECT_EQ(first[6], 5);
  EXPECT_EQ(tone(played.frames[1][0], 0), notes()[36] - 0x120);
  EXPECT_EQ(tone(played.frames[2][0], 0), notes()[36] + 0x30);
  // As in Sound Tracker, the repeat takes over from the 32nd frame.
  EXPECT_EQ(tone(played.frames[31][0], 0), notes()[36] - 0x120);
  EXPECT_EQ(tone(played.frames[32][0], 0), notes()[36] + 0x30);
  EXPECT_EQ(tone(played.frames[33][0], 0), notes()[36] - 0x120);
}

TEST(SoundTrackerSong, EffectsOrnamentEnvelopeAndRest) {
  St1 song = one_voice_song();
  song.bytes[2463 + 32 * 3 + 1] = 12;  // ornament 3: 0, +12
  const uint8_t c3 = st1_note(3, false, 3);
  uint8_t* row0 = song.cell(1, 0, 0);
  row0[0] = c3, row0[1] = 0x1F, row0[2] = 3;  // sample 1, ornament 3
  uint8_t* row1 = song.cell(1, 1, 0);
  row1[0] = c3, row1[1] = 0x0C, row1[2] = 0x40;  // envelope shape 12, period 0x40
  song.cell(1, 2, 0)[0] = 0xF1;                  // rest
  const AySong played = play(kSt1Format, song.bytes);
  EXPECT_EQ(tone(played.frames[0][0], 0), notes()[36]);
  EXPECT_EQ(tone(played.frames[1][0], 0), notes()[48]);
  EXPECT_TRUE(played.frames[2][0].shape_written);
  EXPECT_EQ(played.frames[2][0].regs[13], 12);
  EXPECT_EQ(played.frames[2][0].regs[11], 0x40);
  EXPECT_EQ(played.frames[2][0].regs[8], 0x10 | 15);
  EXPECT_EQ(played.frames[4][0].regs[8], 0) << "the rest";
}

TEST(SoundTrackerSong, UnsavedPatternIsEmptyButFewerThanUsedIsCut) {
  St1 song = one_voice_song();
  song.cell(1, 0, 0)[0] = st1_note(3, false, 3);
  song.cell(1, 0, 0)[1] = 0x10;
  song.position(1, 3, 0);  // pattern 3 with one held: the editor saved two
  song.patterns(2);
  const AySong played = play(kSt1Format, song.bytes);
  EXPECT_EQ(played.frames.size(), 16u);
  St1 short_one = song;
  short_one.patterns(1);  // two patterns used, one held
  EXPECT_FALSE(kSt1Format.detect(short_one.bytes.data(), short_one.bytes.size()));
  expect_every_cut_refused(kSt1Format, song.bytes);
}

TEST(SoundTrackerSong, AyFileOfTypeSt11KeepsNameAndAuthor) {
  St1 song = one_voice_song();
  song.cell(1, 0, 0)[0] = st1_note(3, false, 3);
  song.cell(1, 0, 0)[1] = 0x10;
  const Bytes file = in_ay_file(song.bytes);
  const AySong played = play(kSt1Format, file);
  EXPECT_EQ(played.title, "AY SONG NAME");
  EXPECT_EQ(played.author, "AY AUTHOR");
  EXPECT_EQ(tone(played.frames[0][0], 0), notes()[36]);
  expect_every_cut_refused(kSt1Format, file);
}

TEST(SoundTrackerSt3, SamplesPositionsAndCredit) {
  constexpr int kC4 = 36;
  // An envelope period of 0xFF must not end the track.
  const Bytes track = {0x60, kC4, 0x8A, 0xFF, kC4, 0xFF};
  const Bytes bytes = make_st3({{0, 0}, {0, 3}}, track, true);
  EXPECT_FALSE(tools::ay::kStcFormat.detect(bytes.data(), bytes.size()));
  EXPECT_FALSE(kSt1Format.detect(bytes.data(), bytes.size()));
  const AySong song = play(kSt3Format, bytes);
  ASSERT_EQ(song.frames.size(), 8u);
  const auto& first = song.frames[0][0].regs;
  EXPECT_EQ(first[7] & 0x09, 0x01) << "tone off, noise on";
  EXPECT_EQ(first[6], 9);
  EXPECT_EQ(first[8], 12);
  EXPECT_EQ(tone(song.frames[1][0], 0), notes()[kC4] - 0x21);
  EXPECT_EQ(tone(song.frames[2][0], 0), notes()[kC4]) << "a new note";
  EXPECT_EQ(song.frames[2][0].regs[11], 0xFF);
  EXPECT_EQ(tone(song.frames[4][0], 0), notes()[kC4 + 3]) << "transposed by three";
  EXPECT_EQ(song.title, "MADE SONG BY NOBODY");
  expect_every_cut_refused(kSt3Format, bytes);
}

TEST(SoundTrackerSt3, SampleRepeatLoopsFromItsFirstToItsLastLine) {
  const Bytes bytes = make_st3({{0, 0}}, {0x60, 36, 0xFF}, false);
  Bytes slow = bytes;
  slow[0] = 40;
  const AySong song = play(kSt3Format, slow);
  EXPECT_TRUE(song.title.empty());
  EXPECT_EQ(tone(song.frames[31][0], 0), notes()[36] - 0x21);
  EXPECT_EQ(tone(song.frames[32][0], 0), notes()[36] + 0x13);
  EXPECT_EQ(tone(song.frames[33][0], 0), notes()[36] - 0x21);
}

}  // namespace
