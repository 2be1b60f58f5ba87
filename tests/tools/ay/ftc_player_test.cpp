// Fast Tracker on modules the tests make: notes and waits, where a pattern
// ends and the song repeats, samples and their added-up lines and masks,
// ornaments, volume, the envelope, rests, glissando, portamento, tempo,
// transposition, the note tables and 1.07's rows, the name, and the
// modules that must be refused.
#include "tools/renderer/ay/ftc_player.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/tools/ay/tracker_module_maker.h"
#include "tools/renderer/ay/zx_tables.h"

namespace {

using tools::ay::AySong;
using tools::ay::kFtcFormat;
using tracker_test::Bytes;
using tracker_test::level;
using tracker_test::reg;
using tracker_test::tone;

// One sample line as the compiler stores it.
struct Line {
  int volume = 15;
  bool tone = true, noise = false, envelope = false;
  int noise_period = 0;
  int tone_offset = 0;  // 13 bits, two's complement
  bool add_tone = false, add_noise = false, add_envelope = false;
  int slide = 0;  // -1 a step down, +1 up
  int envelope_offset = 0;
};
struct Sample {
  int loop = 0;
  std::vector<Line> lines = {Line{}};
};
struct Ornament {
  int loop = 0;
  std::vector<int> notes = {0};
};

struct FtcModule {
  std::string name = "MADE TUNE BY MADE AUTHOR";
  uint8_t table = ';';  // 1.00's signature, or 1.07's table number
  int tempo = 3;
  int loop = 0;
  std::vector<std::pair<int, int>> positions = {{0, 0}};  // pattern, transposition
  std::vector<tracker_test::Tracks> patterns;             // channel A ends with 0xFF
  std::vector<Sample> samples;                            // numbers 0..; the rest silent
  std::vector<Ornament> ornaments;                        // numbers 0..; the rest none
};

void put_word(Bytes& out, size_t at, size_t value) {
  out[at] = static_cast<uint8_t>(value & 0xFF);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

Bytes make_ftc(const FtcModule& m) {
  Bytes out(0xD4, ' ');
  const std::string magic = "Module: ";
  std::copy(magic.begin(), magic.end(), out.begin());
  std::copy(m.name.begin(), m.name.end(), out.begin() + 8);
  out[0x32] = m.table;
  const std::string tracker = m.table < 0x20 ? "Fast Tracker v1.07" : "Fast Tracker v1.00";
  std::copy(tracker.begin(), tracker.end(), out.begin() + 0x33);
  out[0x45] = static_cast<uint8_t>(m.tempo);
  out[0x46] = static_cast<uint8_t>(m.loop);
  for (size_t i = 0x47; i < 0x52; ++i) out[i] = 0;
  for (const auto& [pattern, transposition] : m.positions) {
    out.push_back(static_cast<uint8_t>(pattern));
    out.push_back(static_cast<uint8_t>(transposition));
  }
  out.push_back(0xFF);
  const size_t table = out.size();
  put_word(out, 0x4B, table);
  out.resize(table + 6 * m.patterns.size());
  for (size_t p = 0; p < m.patterns.size(); ++p)
    for (size_t c = 0; c < 3; ++c) {
      put_word(out, table + 6 * p + 2 * c, out.size());
      out.insert(out.end(), m.patterns[p][c].begin(), m.patterns[p][c].end());
    }
  const size_t spare_sample = out.size();
  out.insert(out.end(), {0, 0, 0, 0x40, 0, 0x40, 0x40, 0});
  const size_t spare_ornament = out.size();
  out.insert(out.end(), {0, 0, 0, 0, 0});
  for (int i = 0; i < 32; ++i) put_word(out, 0x52 + 2 * i, spare_sample);
  for (int i = 0; i < 33; ++i) put_word(out, 0x92 + 2 * i, spare_ornament);
  for (size_t i = 0; i < m.samples.size(); ++i) {
    put_word(out, 0x52 + 2 * i, out.size());
    const Sample& s = m.samples[i];
    const int last = static_cast<int>(s.lines.size()) - 1;
    out.insert(out.end(), {static_cast<uint8_t>(last), static_cast<uint8_t>(s.loop), static_cast<uint8_t>(last)});
    for (const Line& l : s.lines) {
      const int word = (l.tone_offset & 0x1FFF) | (l.tone ? 0 : 0x4000) | (l.add_tone ? 0x8000 : 0);
      const int slide = l.slide < 0 ? 0x20 : l.slide > 0 ? 0x30 : 0;
      out.push_back(static_cast<uint8_t>((l.noise_period & 0x1F) | (l.noise ? 0 : 0x40) | (l.add_noise ? 0x80 : 0)));
      out.push_back(static_cast<uint8_t>(word & 0xFF));
      out.push_back(static_cast<uint8_t>(word >> 8));
      out.push_back(static_cast<uint8_t>((l.volume & 0x0F) | slide | (l.envelope ? 0x40 : 0) | (l.add_envelope ? 0x80 : 0)));
      out.push_back(static_cast<uint8_t>(l.envelope_offset & 0xFF));
    }
  }
  for (size_t i = 0; i < m.ornaments.size(); ++i) {
    put_word(out, 0x92 + 2 * i, out.size());
    const Ornament& o = m.ornaments[i];
    const int last = static_cast<int>(o.notes.size()) - 1;
    out.insert(out.end(), {static_cast<uint8_t>(last), static_cast<uint8_t>(o.loop), static_cast<uint8_t>(last)});
    for (int note : o.notes) out.insert(out.end(), {0, static_cast<uint8_t>(note & 0xFF)});
  }
  return out;
}

AySong play(const FtcModule& m) { return tracker_test::play(kFtcFormat, make_ftc(m)); }

const tools::ay::zx::NoteTable& pro_tracker() { return tools::ay::zx::pro_tracker3_notes(0, 3); }

constexpr int kSample0 = 0x00, kOrnament0 = 0xCC, kVolume15 = 0x2F, kRest = 0x30, kEnvelopeOff = 0x3F;
constexpr int kWait = 0x40, kNote = 0x60, kGlissando = 0xED, kPortamento = 0xEE, kTempo = 0xF0, kEnd = 0xFF;

// A single long note on channel A and rests on the others.
FtcModule one_voice(const Bytes& a) {
  FtcModule m;
  m.samples = {Sample{}};
  m.patterns = {{a, Bytes{kEnd}, Bytes{kEnd}}};
  return m;
}

TEST(FtcPlayerTest, NotesSoundTheirTableEntryAndWaitsHoldThemUntilChannelAEnds) {
  FtcModule m = one_voice({kSample0, kNote + 24, kWait + 1, kNote + 36, kEnd});
  const AySong song = play(m);
  ASSERT_EQ(song.frames.size(), 9u);  // three rows of three frames
  EXPECT_EQ(tone(song, 0, 0), pro_tracker()[24]);
  EXPECT_EQ(tone(song, 5, 0), pro_tracker()[24]);
  EXPECT_EQ(tone(song, 6, 0), pro_tracker()[36]);
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

TEST(FtcPlayerTest, OtherChannelsRestAtTheirEndMarkAndRunOnOtherwise) {
  FtcModule m;
  m.samples = {Sample{}};
  m.patterns = {{Bytes{kSample0, kNote + 30, kWait + 2, kEnd}, Bytes{kSample0, kNote + 40, kEnd},
                 Bytes{kSample0, kNote + 50, kNote + 51, kNote + 52}}};
  const AySong song = play(m);
  ASSERT_EQ(song.frames.size(), 9u);
  EXPECT_EQ(level(song, 0, 1), 15);
  EXPECT_EQ(level(song, 3, 1), 0);  // B ended after its row
  EXPECT_EQ(tone(song, 6, 2), pro_tracker()[52]);
}

TEST(FtcPlayerTest, SampleLinesAddUpWhereFlaggedAndLoop) {
  FtcModule m = one_voice({kSample0, kNote + 30, kWait + 2, kEnd});
  Sample s;
  s.lines.assign(3, Line{});
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
  Sample s;
  s.lines.assign(2, Line{});
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
  m.ornaments = {Ornament{}, Ornament{1, {0, 4, 7}}};
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
  Sample s;
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
  FtcModule m = one_voice({kSample0, kNote + 6, kPortamento, 0x40, kNote + 7, kWait + 3, kEnd});
  const AySong song = play(m);
  const int from = pro_tracker()[6], to = pro_tracker()[7];
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

TEST(FtcPlayerTest, Version107NamesItsNoteTableAndWritesCommandsAfterTheNote) {
  FtcModule m = one_voice({kSample0, kNote + 30, 0x28, kWait, kSample0, kNote + 31, kNote + 32, kWait, kEnd});
  m.table = 2;
  const AySong song = play(m);
  const auto& asm_table = tools::ay::zx::pro_tracker3_notes(2, 3);
  ASSERT_EQ(song.frames.size(), 9u);  // the volume belongs to the first row
  EXPECT_EQ(tone(song, 0, 0), asm_table[30]);
  EXPECT_LT(level(song, 0, 0), 15);
  EXPECT_EQ(tone(song, 3, 0), asm_table[31]);  // a row of its own: a note follows
  EXPECT_EQ(tone(song, 6, 0), asm_table[32]);
  m.table = 1;
  EXPECT_EQ(tone(play(m), 0, 0), tools::ay::zx::pro_tracker3_notes(1, 3)[30]);
}

TEST(FtcPlayerTest, Version100EndsARowAtEachNote) {
  FtcModule m = one_voice({kSample0, kNote + 30, 0x28, kWait, kEnd});
  const AySong song = play(m);
  ASSERT_EQ(song.frames.size(), 6u);
  EXPECT_EQ(level(song, 0, 0), 15);
  EXPECT_LT(level(song, 3, 0), 15);
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
  Sample s;
  s.lines.assign(2, Line{});
  m.samples = {s};
  m.ornaments = {Ornament{}, Ornament{0, {0, 12}}};
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
