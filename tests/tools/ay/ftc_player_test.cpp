// Fast Tracker on modules the tests make: notes and waits, where a pattern
// ends and the song repeats, samples and their added-up lines and masks,
// ornaments, volume, the envelope, rests, glissando, portamento, tempo,
// transposition, the note tables, the name, and the
// modules that must be refused.
#include "tools/renderer/ay/ftc_player.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/tools/ay/tracker_module_maker.h"
#include "tools/renderer/ay/zx_tables.h"

namespace {

using tools::ay::AySong;
using tools::ay::kFtcFormat;
using tracker_test::Bytes;
using tracker_test::FtcLine;
using tracker_test::FtcModule;
using tracker_test::FtcOrnament;
using tracker_test::FtcSample;
using tracker_test::make_ftc;
using tracker_test::level;
using tracker_test::reg;
using tracker_test::tone;

AySong play(const FtcModule& m) { return tracker_test::play(kFtcFormat, make_ftc(m)); }

// 1.00's table: Pro Tracker's copy of Sound Tracker's.
const tools::ay::zx::NoteTable& pro_tracker() { return tools::ay::zx::pro_tracker3_notes(1, 3); }

constexpr int kSample0 = 0x00, kOrnament0 = 0xCC, kVolume15 = 0x2F, kRest = 0x30, kEnvelopeOff = 0x3F;
constexpr int kWait = 0x40, kNote = 0x60, kGlissando = 0xED, kPortamento = 0xEE, kTempo = 0xF0, kEnd = 0xFF;

// A single long note on channel A and rests on the others.
FtcModule one_voice(const Bytes& a) {
  FtcModule m;
  m.samples = {FtcSample{}};
  m.patterns = {{a, Bytes{kEnd}, Bytes{kEnd}}};
  return m;
}

TEST(FtcPlayerTest, NotesSoundTheirTableEntryAndWaitsHoldThemUntilChannelAEnds) {
  FtcModule m = one_voice({kSample0, kNote + 24, kWait + 1, kNote + 36, kEnd});
  const AySong song = play(m);
  ASSERT_EQ(song.frames.size(), 12u);  // the note's row, the wait's two, the next note's: three frames each
  EXPECT_EQ(tone(song, 0, 0), pro_tracker()[24]);
  EXPECT_EQ(tone(song, 8, 0), pro_tracker()[24]);
  EXPECT_EQ(tone(song, 9, 0), pro_tracker()[36]);
  EXPECT_EQ(level(song, 0, 0), 15);
  EXPECT_EQ(reg(song, 0, 7) & 0x3F, 0x3E);  // A's tone only
  EXPECT_EQ(level(song, 0, 1), 0);
  EXPECT_EQ(song.loop_frame, 0);
}

TEST(FtcPlayerTest, ThePositionListRepeatsFromItsLoopWithTranspositions) {
  FtcModule m = one_voice({kSample0, kNote + 24, kEnd});
  m.positions = {{0, 0}, {0, 12}, {0, 0xF4}};
  m.loop = 1;
  const AySong song = play(m);
  ASSERT_EQ(song.frames.size(), 9u);
  EXPECT_EQ(tone(song, 0, 0), pro_tracker()[24]);
  EXPECT_EQ(tone(song, 3, 0), pro_tracker()[36]);
  EXPECT_EQ(tone(song, 6, 0), pro_tracker()[12]);
  EXPECT_EQ(song.loop_frame, 3);
}

TEST(FtcPlayerTest, OtherChannelsRestAtAnEndMark) {
  FtcModule m;
  m.samples = {FtcSample{}};
  m.patterns = {{Bytes{kSample0, kNote + 30, kWait + 1, kEnd}, Bytes{kSample0, kNote + 40, kEnd},
                 Bytes{kSample0, kNote + 50, kNote + 51, kNote + 52}}};
  const AySong song = play(m);
  ASSERT_EQ(song.frames.size(), 9u);
  EXPECT_EQ(level(song, 0, 1), 15);
  EXPECT_EQ(level(song, 3, 1), 0);  // B ended after its row
  EXPECT_EQ(tone(song, 6, 2), pro_tracker()[52]);
}

TEST(FtcPlayerTest, SampleLinesAddUpWhereFlaggedAndLoop) {
  FtcModule m = one_voice({kSample0, kNote + 30, kWait + 2, kEnd});
  FtcSample s;
  s.lines.assign(3, FtcLine{});
  s.lines[0].tone_offset = 5;  // heard once
  s.lines[1].tone_offset = 2;
  s.lines[1].add_tone = true;  // kept
  s.lines[2].tone_offset = -1;
  s.loop = 1;
  m.samples = {s};
  const AySong song = play(m);
  const int base = pro_tracker()[30];
  EXPECT_EQ(tone(song, 0, 0), base + 5);
  EXPECT_EQ(tone(song, 1, 0), base + 2);
  EXPECT_EQ(tone(song, 2, 0), base + 1);
  EXPECT_EQ(tone(song, 3, 0), base + 4);  // the loop adds its two again
  EXPECT_EQ(tone(song, 4, 0), base + 3);
}

TEST(FtcPlayerTest, SampleMasksNoiseAndVolumeSlides) {
  FtcModule m = one_voice({kSample0, kNote + 30, kWait + 1, kEnd});
  FtcSample s;
  s.lines.assign(2, FtcLine{});
  s.lines[0].tone = false;
  s.lines[0].noise = true;
  s.lines[0].noise_period = 9;
  s.lines[0].volume = 12;
  s.lines[1].volume = 12;
  s.lines[1].slide = -1;
  s.loop = 1;
  m.samples = {s};
  const AySong song = play(m);
  EXPECT_EQ(reg(song, 0, 7) & 0x3F, 0x37);  // A's noise only
  EXPECT_EQ(reg(song, 0, 6), 9);
  EXPECT_EQ(level(song, 0, 0), 12);
  EXPECT_EQ(reg(song, 1, 7) & 0x3F, 0x3E);
  EXPECT_EQ(level(song, 1, 0), 11);
  EXPECT_EQ(level(song, 2, 0), 10);
  EXPECT_EQ(level(song, 5, 0), 7);
}

TEST(FtcPlayerTest, OrnamentsOffsetTheNoteAndLoop) {
  FtcModule m = one_voice({kOrnament0 + 1, kSample0, kNote + 30, kWait + 1, kEnd});
  m.ornaments = {FtcOrnament{}, FtcOrnament{1, {0, 4, 7}}};
  const AySong song = play(m);
  EXPECT_EQ(tone(song, 0, 0), pro_tracker()[30]);
  EXPECT_EQ(tone(song, 1, 0), pro_tracker()[34]);
  EXPECT_EQ(tone(song, 2, 0), pro_tracker()[37]);
  EXPECT_EQ(tone(song, 3, 0), pro_tracker()[34]);
}

TEST(FtcPlayerTest, ChannelVolumeScalesTheSampleThroughTheVolumeTable) {
  FtcModule m = one_voice({0x28, kSample0, kNote + 30, kEnd});
  const AySong song = play(m);
  EXPECT_EQ(level(song, 0, 0), tools::ay::zx::pro_tracker3_volumes(5)[8][15]);
  EXPECT_LT(level(song, 0, 0), 15);
}

TEST(FtcPlayerTest, TheEnvelopeCommandSetsShapeAndPeriodWhereTheSampleLetsIt) {
  FtcModule m = one_voice({0x3C, 0x34, 0x12, kSample0, kNote + 30, 0x3C, 0x40, 0x00, kNote + 30, kEnvelopeOff,
                           kNote + 30, kEnd});
  FtcSample s;
  s.lines[0].envelope = true;
  s.lines[0].envelope_offset = -4;
  m.samples = {s};
  const AySong song = play(m);
  EXPECT_EQ(level(song, 0, 0), 0x10);
  EXPECT_EQ(reg(song, 0, 11) | reg(song, 0, 12) << 8, 0x1234 - 4);
  EXPECT_EQ(reg(song, 0, 13), 12);
  EXPECT_TRUE(song.frames[0][0].shape_written);
  // The same shape again changes the period and leaves the envelope running.
  EXPECT_EQ(reg(song, 3, 11), 0x40 - 4);
  EXPECT_FALSE(song.frames[3][0].shape_written);
  EXPECT_EQ(level(song, 6, 0), 15);
}

TEST(FtcPlayerTest, ARestSilencesTheChannelUntilTheNextNote) {
  FtcModule m = one_voice({kSample0, kNote + 30, kRest, kWait, kNote + 31, kEnd});
  const AySong song = play(m);
  EXPECT_EQ(level(song, 0, 0), 15);
  EXPECT_EQ(level(song, 3, 0), 0);
  EXPECT_EQ(tone(song, 6, 0), pro_tracker()[31]);
}

TEST(FtcPlayerTest, GlissandoMovesThePeriodEveryFrame) {
  FtcModule m = one_voice({kSample0, kNote + 30, kGlissando, 0xFE, 0xFF, kWait + 1, kEnd});
  const AySong song = play(m);
  const int base = pro_tracker()[30];
  EXPECT_EQ(tone(song, 0, 0), base);
  EXPECT_EQ(tone(song, 3, 0), base);
  EXPECT_EQ(tone(song, 4, 0), base - 2);
  EXPECT_EQ(tone(song, 5, 0), base - 4);
}

TEST(FtcPlayerTest, AGlissandoBeforeItsNoteSlidesThatNote) {
  FtcModule m = one_voice({kSample0, kGlissando, 0x03, 0x00, kNote + 30, kNote + 31, kEnd});
  const AySong song = play(m);
  const int base = pro_tracker()[30];
  EXPECT_EQ(tone(song, 0, 0), base);
  EXPECT_EQ(tone(song, 2, 0), base + 6);
  EXPECT_EQ(tone(song, 4, 0), pro_tracker()[31]);  // the next note stops it
}

TEST(FtcPlayerTest, PortamentoSlidesFromTheLastNoteToTheNextAndStops) {
  FtcModule m = one_voice({kSample0, kNote + 18, kPortamento, 0x40, kNote + 19, kWait + 3, kEnd});
  const AySong song = play(m);
  const int from = pro_tracker()[18], to = pro_tracker()[19];
  ASSERT_GT(from - to, 0x40);
  ASSERT_LT(from - to, 0x80);
  EXPECT_EQ(tone(song, 3, 0), from);
  EXPECT_EQ(tone(song, 4, 0), from - 0x40);
  EXPECT_EQ(tone(song, 5, 0), to);
  EXPECT_EQ(tone(song, 8, 0), to);
}

TEST(FtcPlayerTest, TheTempoCommandSetsTheFramesOfItsRowAndAfter) {
  FtcModule m = one_voice({kSample0, kTempo, 5, kNote + 30, kNote + 31, kEnd});
  const AySong song = play(m);
  ASSERT_EQ(song.frames.size(), 10u);
  EXPECT_EQ(tone(song, 4, 0), pro_tracker()[30]);
  EXPECT_EQ(tone(song, 5, 0), pro_tracker()[31]);
}

TEST(FtcPlayerTest, Version107NamesItsNoteTable) {
  FtcModule m = one_voice({kSample0, kNote + 30, kEnd});
  m.table = 2;
  EXPECT_EQ(tone(play(m), 0, 0), tools::ay::zx::pro_tracker3_notes(2, 3)[30]);
  m.table = 1;
  EXPECT_EQ(tone(play(m), 0, 0), tools::ay::zx::sound_tracker_notes()[30]);
  // 1.00's copy of Sound Tracker's table has its false note.
  m = one_voice({kSample0, kNote + 23, kEnd});
  EXPECT_NE(tone(play(m), 0, 0), tools::ay::zx::sound_tracker_notes()[23]);
  EXPECT_EQ(tone(play(m), 0, 0), pro_tracker()[23]);
}

TEST(FtcPlayerTest, CommandsAfterANoteApplyAtTheNextRow) {
  FtcModule m = one_voice({kSample0, kNote + 30, 0x28, kWait, kEnd});
  const AySong song = play(m);
  ASSERT_EQ(song.frames.size(), 6u);
  EXPECT_EQ(level(song, 0, 0), 15);
  EXPECT_LT(level(song, 3, 0), 15);
  EXPECT_EQ(tone(song, 3, 0), pro_tracker()[30]);
}

TEST(FtcPlayerTest, TheNameSplitsIntoTitleAndAuthor) {
  FtcModule m = one_voice({kSample0, kNote + 30, kEnd});
  AySong song = play(m);
  EXPECT_EQ(song.title, "MADE TUNE");
  EXPECT_EQ(song.author, "MADE AUTHOR");
  EXPECT_EQ(song.program, "Fast Tracker");
  m.name = "JUST A NAME";
  song = play(m);
  EXPECT_EQ(song.title, "JUST A NAME");
  EXPECT_EQ(song.author, "");
}

TEST(FtcPlayerTest, InconsistentHeadersAreRefused) {
  const FtcModule good = one_voice({kSample0, kNote + 30, kEnd});
  Bytes bytes = make_ftc(good);
  ASSERT_TRUE(kFtcFormat.detect(bytes.data(), bytes.size()));
  Bytes other = bytes;
  other[0] = 'm';  // not the tracker's text
  EXPECT_FALSE(kFtcFormat.detect(other.data(), other.size()));
  other = bytes;
  other[0x45] = 0;  // no tempo
  EXPECT_FALSE(kFtcFormat.detect(other.data(), other.size()));
  other = bytes;
  other[0x46] = 1;  // loop past the list
  EXPECT_FALSE(kFtcFormat.detect(other.data(), other.size()));
  other = bytes;
  other[0xD4] = 40;  // a pattern past the table
  EXPECT_FALSE(kFtcFormat.detect(other.data(), other.size()));
  other = bytes;
  other[0x53] = 0x7F;  // a sample outside the file
  EXPECT_FALSE(kFtcFormat.detect(other.data(), other.size()));
  other = bytes;
  other[0xD6] = 0;  // no end to the position list
  for (size_t i = 0xD6; i < other.size(); ++i)
    if (other[i] == 0xFF) other[i] = 0;
  EXPECT_FALSE(kFtcFormat.detect(other.data(), other.size()));
}

TEST(FtcPlayerTest, EveryCutOfAModuleIsRefused) {
  FtcModule m;
  FtcSample s;
  s.lines.assign(2, FtcLine{});
  m.samples = {s};
  m.ornaments = {FtcOrnament{}, FtcOrnament{0, {0, 12}}};
  m.patterns = {{Bytes{kSample0, kOrnament0 + 1, kNote + 30, kWait + 1, kEnd}, Bytes{kSample0, kNote + 40, kEnd},
                 Bytes{kEnd}}};
  const Bytes good = make_ftc(m);
  AySong song;
  std::string error;
  ASSERT_TRUE(kFtcFormat.parse(good.data(), good.size(), &song, &error)) << error;
  for (size_t size = 0; size < good.size(); ++size) {
    const Bytes cut(good.begin(), good.begin() + static_cast<long>(size));
    EXPECT_FALSE(kFtcFormat.detect(cut.data(), cut.size()) && kFtcFormat.parse(cut.data(), cut.size(), &song, &error))
        << size;
  }
}

TEST(FtcPlayerTest, APatternWithoutRowsIsRefused) {
  FtcModule m = one_voice({kEnd});
  AySong song;
  std::string error;
  const Bytes bytes = make_ftc(m);
  EXPECT_FALSE(kFtcFormat.parse(bytes.data(), bytes.size(), &song, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
