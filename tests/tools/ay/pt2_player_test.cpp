// Pro Tracker 2 modules made by zx_module_maker: rows, samples, ornaments
// and effects into registers, the position list, and broken files.
#include <gtest/gtest.h>

#include "tests/tools/ay/zx_module_maker.h"
#include "tools/renderer/ay/pt2_player.h"
#include "tools/renderer/ay/pt3_player.h"
#include "tools/renderer/ay/stc_player.h"
#include "tools/renderer/ay/zx_tables.h"

namespace {

using tools::ay::AySong;
using tools::ay::kPt2Format;
using namespace zx_test;

constexpr uint8_t kSample1 = 0xE1;
constexpr uint8_t kEmptyRow = 0x70;
constexpr uint8_t kEnd = 0x00;
constexpr int kC4 = 36;

uint8_t note(int n) { return static_cast<uint8_t>(0x80 + n); }

Pt2Module one_track(const Bytes& track, std::vector<Pt2Line> lines = {Pt2Line{}}) {
  Pt2Module module;
  module.samples = {Pt2Sample{0, std::move(lines)}};
  module.patterns = {Tracks{track, Bytes{kEmptyRow, kEnd}, Bytes{kEmptyRow, kEnd}}};
  return module;
}

AySong parse(const Bytes& bytes) {
  AySong song;
  std::string error;
  EXPECT_TRUE(kPt2Format.detect(bytes.data(), bytes.size()));
  EXPECT_TRUE(kPt2Format.parse(bytes.data(), bytes.size(), &song, &error)) << error;
  return song;
}

const tools::ay::zx::NoteTable& notes() { return tools::ay::zx::pro_tracker2_notes(); }

TEST(Pt2Player, SampleLinesOffsetTheNotesPeriodBothWays) {
  Pt2Line up, down, noisy;
  up.tone_offset = 0x123;
  down.tone_offset = -5;
  down.volume = 8;
  noisy.tone = false;
  noisy.noise = true;
  noisy.noise_period = 6;
  Pt2Module module = one_track({0x1C, kSample1, note(kC4), kEnd}, {up, down, noisy});
  module.delay = 4;
  const AySong song = parse(make_pt2(module));
  ASSERT_EQ(song.frames.size(), 4u);
  EXPECT_EQ(tone(song.frames[0][0], 0), notes()[kC4] + 0x123);
  EXPECT_EQ(tone(song.frames[1][0], 0), notes()[kC4] - 5);
  const auto& volumes = tools::ay::zx::pro_tracker3_volumes(5);
  EXPECT_EQ(song.frames[0][0].regs[8], volumes[12][15]);
  EXPECT_EQ(song.frames[1][0].regs[8], volumes[12][8]);
  EXPECT_EQ(song.frames[0][0].regs[7] & 0x09, 0x08) << "tone on, noise off";
  EXPECT_EQ(song.frames[2][0].regs[7] & 0x09, 0x01) << "tone off, noise on";
  EXPECT_EQ(song.frames[2][0].regs[6], 6);
  EXPECT_EQ(tone(song.frames[3][0], 0), notes()[kC4] + 0x123) << "the sample loops to its first line";
}

TEST(Pt2Player, NoiseCommandAddsToTheSamplesNoise) {
  Pt2Line noisy;
  noisy.noise = true;
  noisy.noise_period = 6;
  const AySong song = parse(make_pt2(one_track({0x0B, 3, kSample1, note(kC4), kEnd}, {noisy})));
  EXPECT_EQ(song.frames[0][0].regs[6], 9);
}

TEST(Pt2Player, EnvelopeCommandSetsShapePeriodAndTheChannelsFlag) {
  Pt2Module module = one_track({0x7E, 0x34, 0x12, kSample1, note(kC4), 0x7F, note(kC4), kEnd});
  module.delay = 2;
  const AySong song = parse(make_pt2(module));
  ASSERT_EQ(song.frames.size(), 4u);
  EXPECT_TRUE(song.frames[0][0].shape_written);
  EXPECT_EQ(song.frames[0][0].regs[13], 14);
  EXPECT_EQ(envelope_period(song.frames[0][0]), 0x1234);
  EXPECT_EQ(song.frames[0][0].regs[8], 0x10 | 15);
  EXPECT_FALSE(song.frames[1][0].shape_written);
  EXPECT_EQ(song.frames[2][0].regs[8], 15) << "0x7F turned the envelope off";
}

TEST(Pt2Player, GlissandoAndPortamentoSlideTheTone) {
  Pt2Module gliss = one_track({0x0E, 0xFD, kSample1, note(kC4), kEnd});  // -3 a frame
  gliss.delay = 5;
  std::vector<uint16_t> periods = tones(parse(make_pt2(gliss)));
  for (size_t i = 0; i < periods.size(); ++i) EXPECT_EQ(periods[i], notes()[kC4] - 3 * static_cast<int>(i)) << i;

  // Row 0: C-4; row 1: portamento at 9 a frame down to E-4.
  Pt2Module porta = one_track({kSample1, note(kC4), 0x0D, 9, 0, 0, note(kC4 + 4), kEnd});
  porta.delay = 30;
  periods = tones(parse(make_pt2(porta)));
  ASSERT_EQ(periods.size(), 60u);
  EXPECT_EQ(periods[30], notes()[kC4]);
  EXPECT_EQ(periods[31], notes()[kC4] - 9);
  for (size_t i = 31; i < periods.size(); ++i) {
    EXPECT_LE(periods[i], periods[i - 1]) << i;
    EXPECT_GE(periods[i], notes()[kC4 + 4]) << i;
  }
  EXPECT_EQ(periods.back(), notes()[kC4 + 4]);
}

TEST(Pt2Player, OrnamentsLoopAndReleaseSilences) {
  Pt2Module module = one_track({0x61, kSample1, note(kC4), 0xE0, kEnd});
  module.ornaments = {Pt3Ornament{}, Pt3Ornament{1, {0, 4, 7}}};
  module.delay = 5;
  const AySong song = parse(make_pt2(module));
  const std::vector<uint16_t> periods = tones(song);
  const int offsets[] = {0, 4, 7, 4, 7};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(periods[i], notes()[kC4 + offsets[i]]) << i;
  EXPECT_EQ(levels(song)[5], 0);
}

TEST(Pt2Player, SkipCountAndSpeedCommandTimeTheRows) {
  // 0x21: a note every second row; 0x0F: 3 frames a row.
  Pt2Module module = one_track({0x0F, 3, 0x21, kSample1, note(kC4), note(kC4 + 1), kEnd});
  module.delay = 7;
  const std::vector<uint16_t> periods = tones(parse(make_pt2(module)));
  ASSERT_EQ(periods.size(), 12u);
  EXPECT_EQ(periods[5], notes()[kC4]);
  EXPECT_EQ(periods[6], notes()[kC4 + 1]);
}

TEST(Pt2Player, PositionListLoopsAndReadsTheName) {
  Pt2Module module;
  module.name = "  Made Song By Nobody";
  module.samples = {Pt2Sample{}};
  for (int p = 0; p < 2; ++p) module.patterns.push_back(one_track({kSample1, note(kC4 + p), kEnd}).patterns[0]);
  module.positions = {0, 1, 1};
  module.loop = 1;
  module.delay = 2;
  const AySong song = parse(make_pt2(module));
  EXPECT_EQ(song.frames.size(), 6u);
  EXPECT_EQ(song.loop_frame, 2);
  EXPECT_EQ(song.title, "Made Song By Nobody");
  EXPECT_EQ(song.program, "Pro Tracker 2");

  Pt2Module empty = module;
  empty.patterns[0][0] = {kEnd};
  empty.patterns[1][0] = {kEnd};
  const Bytes bytes = make_pt2(empty);
  AySong refused;
  std::string error;
  EXPECT_FALSE(kPt2Format.parse(bytes.data(), bytes.size(), &refused, &error));
}

TEST(Pt2Player, DetectionRestsOnTheHeadersConsistency) {
  const Bytes bytes = make_pt2(one_track({kSample1, note(kC4), kEnd}));
  EXPECT_TRUE(kPt2Format.detect(bytes.data(), bytes.size()));
  EXPECT_FALSE(tools::ay::kPt3Format.detect(bytes.data(), bytes.size()));
  EXPECT_FALSE(tools::ay::kStcFormat.detect(bytes.data(), bytes.size()));
  Bytes changed = bytes;
  changed[0] = 0;  // no speed
  EXPECT_FALSE(kPt2Format.detect(changed.data(), changed.size()));
  changed = bytes;
  changed[2] = 1;  // loop past the one position
  EXPECT_FALSE(kPt2Format.detect(changed.data(), changed.size()));
  changed = bytes;
  changed[132] = 0;  // the position list loses its end
  EXPECT_FALSE(kPt2Format.detect(changed.data(), changed.size()));
  changed = bytes;
  changed[110] = 0x1F;  // a control byte in the name: compressed data, not a tracker's header
  EXPECT_FALSE(kPt2Format.detect(changed.data(), changed.size()));
  changed = bytes;
  changed[110] = 0xE0;  // a Cyrillic letter in a name is text
  EXPECT_TRUE(kPt2Format.detect(changed.data(), changed.size()));
  Bytes noise(600);
  uint32_t random = 99;
  for (uint8_t& b : noise) b = static_cast<uint8_t>((random = random * 1103515245 + 12345) >> 24);
  EXPECT_FALSE(kPt2Format.detect(noise.data(), noise.size()));
}

TEST(Pt2Player, EveryTruncationIsRefused) {
  Pt2Module module = one_track({0x7E, 0x34, 0x12, kSample1, note(kC4), 0x0E, 1, note(kC4 + 1), kEnd});
  module.ornaments = {Pt3Ornament{0, {0, 3}}};
  const Bytes bytes = make_pt2(module);
  for (size_t size = 0; size < bytes.size(); ++size) {
    AySong song;
    std::string error;
    EXPECT_FALSE(kPt2Format.parse(bytes.data(), size, &song, &error)) << size;
  }
}

}  // namespace
