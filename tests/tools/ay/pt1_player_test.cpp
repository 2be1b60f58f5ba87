// Pro Tracker 1 modules made by zx_module_maker: notes, samples and
// ornaments into periods, each command, the position list, and broken files.
#include <gtest/gtest.h>

#include "tests/tools/ay/zx_module_maker.h"
#include "tools/renderer/ay/pt1_player.h"
#include "tools/renderer/ay/pt2_player.h"
#include "tools/renderer/ay/stc_player.h"
#include "tools/renderer/ay/zx_tables.h"

namespace {

using tools::ay::AySong;
using tools::ay::kPt1Format;
using namespace zx_test;

constexpr uint8_t kSample1 = 0x61;
constexpr uint8_t kOrnament1 = 0x71;
constexpr uint8_t kRest = 0x80;
constexpr uint8_t kEnvelopeOff = 0x81;
constexpr uint8_t kEmptyRow = 0x90;
constexpr uint8_t kEnd = 0xFF;
constexpr int kC4 = 36;

Pt1Module one_track(const Bytes& track, std::vector<StcLine> lines = {StcLine{}}) {
  Pt1Module module;
  module.samples = {Pt1Sample{0, std::move(lines)}};
  module.patterns = {Tracks{track, Bytes{kEmptyRow, kEnd}, Bytes{kEmptyRow, kEnd}}};
  return module;
}

AySong parse(const Bytes& bytes) {
  AySong song;
  std::string error;
  EXPECT_TRUE(kPt1Format.detect(bytes.data(), bytes.size()));
  EXPECT_TRUE(kPt1Format.parse(bytes.data(), bytes.size(), &song, &error)) << error;
  return song;
}

const tools::ay::zx::NoteTable& notes() { return tools::ay::zx::pro_tracker3_notes(1, 6); }

TEST(Pt1Player, SampleLinesAndOrnamentsShapeThePeriodAndTheSampleLoops) {
  StcLine up, down;
  up.tone_offset = 5;
  down.tone_offset = -7;
  Pt1Module module = one_track({0xB3, kSample1, kOrnament1, kC4, kEnd}, {StcLine{}, up, down});
  module.samples[0].loop = 1;
  module.ornaments = {{}, {0, 0, 12}};
  const std::vector<uint16_t> tone = tones(parse(make_pt1(module)));
  ASSERT_GE(tone.size(), 5u);
  EXPECT_EQ(tone[0], notes()[kC4]);
  EXPECT_EQ(tone[1], notes()[kC4] + 5);
  EXPECT_EQ(tone[2], notes()[kC4 + 12] - 7);  // the ornament is read at the sample's line
  EXPECT_EQ(tone[3], notes()[kC4] + 5);       // back to the loop line
  EXPECT_EQ(tone[4], notes()[kC4 + 12] - 7);
}

TEST(Pt1Player, CommandsSetVolumeEnvelopeTempoRowLengthAndRests) {
  // Tempo 2, a note every two rows; volume 7, then an envelope note, the
  // envelope off again, a rest and an empty row.
  const Bytes track = {0x92, 0xB2, 0xA8, kSample1, kC4, 0x8D, 0x34, 0x12, kC4, kEnvelopeOff, kC4, kRest,
                       kEmptyRow, kEnd};
  const AySong song = parse(make_pt1(one_track(track)));
  ASSERT_EQ(song.frames.size(), 5u * 2 * 2);  // five rows of two rows' length, two frames a row
  const std::vector<int> level = levels(song);
  const int volume7 = tools::ay::zx::pro_tracker3_volumes(5)[7][15];
  EXPECT_EQ(level[0], volume7);
  EXPECT_EQ(level[3], volume7);
  EXPECT_EQ(level[4], 0x10);
  EXPECT_TRUE(song.frames[4][0].shape_written);
  EXPECT_EQ(song.frames[4][0].regs[13], 12);
  EXPECT_EQ(envelope_period(song.frames[4][0]), 0x1234);
  EXPECT_FALSE(song.frames[5][0].shape_written);
  EXPECT_EQ(level[8], volume7);
  EXPECT_EQ(level[12], 0);  // the rest
  EXPECT_EQ(level[16], 0);  // an empty row goes on with it
}

TEST(Pt1Player, PositionListLoopsAndTheNameIsTheTitle) {
  Pt1Module module = one_track({kSample1, kC4, kEnd});
  module.patterns.push_back(Tracks{Bytes{0xB3, kC4, kEnd}, Bytes{kEmptyRow, kEnd}, Bytes{kEmptyRow, kEnd}});
  module.positions = {0, 1, 1};
  module.loop = 1;
  module.name = "Tune BY Someone";
  const AySong song = parse(make_pt1(module));
  EXPECT_EQ(song.title, "Tune BY Someone");
  EXPECT_EQ(song.frames.size(), 3u * (1 + 3 + 3));
  EXPECT_EQ(song.loop_frame, 3);
}

TEST(Pt1Player, DetectionRestsOnTheHeadersConsistency) {
  const Bytes bytes = make_pt1(one_track({kSample1, kC4, kEnd}));
  EXPECT_TRUE(kPt1Format.detect(bytes.data(), bytes.size()));
  EXPECT_FALSE(tools::ay::kPt2Format.detect(bytes.data(), bytes.size()));
  EXPECT_FALSE(tools::ay::kStcFormat.detect(bytes.data(), bytes.size()));
  Bytes changed = bytes;
  changed[2] = 1;  // loop past the one position
  EXPECT_FALSE(kPt1Format.detect(changed.data(), changed.size()));
  changed = bytes;
  changed[100] = 0;  // the position list loses its end
  EXPECT_FALSE(kPt1Format.detect(changed.data(), changed.size()));
  changed = bytes;
  changed[80] = 0x1F;  // a control byte in the name
  EXPECT_FALSE(kPt1Format.detect(changed.data(), changed.size()));
  Pt2Module pt2;
  pt2.samples = {Pt2Sample{}};
  pt2.patterns = {Tracks{Bytes{0xE1, 0x80 + kC4, 0}, Bytes{0x70, 0}, Bytes{0x70, 0}}};
  const Bytes other = make_pt2(pt2);
  EXPECT_FALSE(kPt1Format.detect(other.data(), other.size()));
}

TEST(Pt1Player, EveryTruncationIsRefused) {
  Pt1Module module = one_track({0x8E, 0x34, 0x12, kSample1, kOrnament1, kC4, kC4 + 1, kEnd});
  module.ornaments = {{}, {0, 3}};
  const Bytes bytes = make_pt1(module);
  for (size_t size = 0; size < bytes.size(); ++size) {
    AySong song;
    std::string error;
    EXPECT_FALSE(kPt1Format.parse(bytes.data(), size, &song, &error)) << size;
  }
}

}  // namespace
