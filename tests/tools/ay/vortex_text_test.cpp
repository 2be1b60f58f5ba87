// Vortex Tracker II text modules the tests write: what the sample, ornament
// and pattern columns put into the chip's registers, the commands, the
// module keys, two and three chips, the format's limits, and cut files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tools/ay/zx_module_maker.h"
#include "tools/renderer/ay/pt3_player.h"
#include "tools/renderer/ay/vortex_text_player.h"
#include "tools/renderer/ay/zx_tables.h"

namespace {

using tools::ay::AySong;
using tools::ay::kVortexTextFormat;
using zx_test::tone;

constexpr char kEmpty[] = "--- .... ....";
constexpr int kC4 = 36;

// A pattern row: channel A's cell, then B's and C's, the envelope period
// and the noise.
std::string row(const std::string& a, const std::string& b = kEmpty, const std::string& c = kEmpty,
                const std::string& envelope = "....", const std::string& noise = "..") {
  return envelope + "|" + noise + "|" + a + "|" + b + "|" + c + "\n";
}

std::string section(const std::string& name, const std::string& body) { return "[" + name + "]\n" + body + "\n"; }

// One module: its keys (Speed 1, so that each frame reads a row), order,
// and sections; sample 1 is a steady tone at full level unless replaced.
struct TextModule {
  std::string keys = "VortexTrackerII=1\nVersion=3.6\nTitle=Made\nAuthor=Tests\nNoteTable=2\nSpeed=1\n";
  std::string order = "L0";
  std::string sample1 = "Tne +000_ +00_ F_ L\n";
  std::vector<std::string> sections;

  std::string text() const {
    std::string out = "[Module]\n" + keys + "PlayOrder=" + order + "\n\n";
    out += section("Sample1", sample1);
    for (const std::string& s : sections) out += s;
    return out;
  }
};

TextModule with_pattern(const std::string& rows) {
  TextModule module;
  module.sections.push_back(section("Pattern0", rows));
  return module;
}

bool parse(const std::string& text, AySong* song, std::string* error) {
  const auto* data = reinterpret_cast<const uint8_t*>(text.data());
  return kVortexTextFormat.parse(data, text.size(), song, error);
}

AySong play(const std::string& text) {
  AySong song;
  std::string error;
  const auto* data = reinterpret_cast<const uint8_t*>(text.data());
  EXPECT_TRUE(kVortexTextFormat.detect(data, text.size()));
  EXPECT_TRUE(parse(text, &song, &error)) << error;
  return song;
}

const tools::ay::zx::NoteTable& notes(int version = 6) { return tools::ay::zx::pro_tracker3_notes(2, version); }

TEST(VortexText, SampleColumnsSetToneNoiseEnvelopeAndLevel) {
  TextModule module = with_pattern(row("C-4 1... ....") + row("--- .... ....") + row("--- .... ....", kEmpty, kEmpty, "....", ".5"));
  // Tone shifted by +10 with noise offset 3; then envelope on, tone off,
  // the level sliding down; the loop is on the second line.
  module.sample1 = "TNe +010_ +03_ C_\n..E -001^ +00_ 8- L\n";
  const AySong song = play(module.text());
  ASSERT_EQ(song.frames.size(), 3u);
  const auto& first = song.frames[0][0].regs;
  EXPECT_EQ(tone(song.frames[0][0], 0), notes()[kC4] + 0x10);
  EXPECT_EQ(first[7] & 0x09, 0) << "tone and noise on";
  EXPECT_EQ(first[6], 3);
  EXPECT_EQ(first[8], tools::ay::zx::pro_tracker3_volumes(6)[15][12]);
  const auto& second = song.frames[1][0].regs;
  EXPECT_EQ(second[7] & 0x09, 0x09) << "tone and noise off";
  EXPECT_EQ(second[8], tools::ay::zx::pro_tracker3_volumes(6)[15][7]) << "the level slid down before it played";
  // The accumulated tone shift goes on falling on the loop; the noise
  // column's period takes the sample's last noise offset.
  EXPECT_EQ(tone(song.frames[2][0], 0), notes()[kC4] - 2);
  EXPECT_EQ(song.frames[2][0].regs[6], 5 + 3);
}

TEST(VortexText, EnvelopeShapeTakesTheRowsPeriodAndResetsTheOrnament) {
  TextModule module = with_pattern(row("C-4 1.2. ....") + row("--- .E.. ....", kEmpty, kEmpty, "..2F") +
                                   row("--- .F.. ....") + row("--- ..2. ....") + row("--- .... ...."));
  module.sample1 = "TnE +000_ +00_ F_ L\n";
  module.sections.push_back(section("Ornament2", "L12\n"));
  const AySong song = play(module.text());
  ASSERT_EQ(song.frames.size(), 5u);
  EXPECT_EQ(tone(song.frames[0][0], 0), notes()[kC4 + 12]) << "the ornament lifts an octave";
  const auto& shaped = song.frames[1][0];
  EXPECT_TRUE(shaped.shape_written);
  EXPECT_EQ(shaped.regs[13], 14);
  EXPECT_EQ(shaped.regs[11] | shaped.regs[12] << 8, 0x2F);
  EXPECT_EQ(shaped.regs[8], 0x10 | 15);
  EXPECT_EQ(tone(shaped, 0), notes()[kC4]) << "setting the envelope dropped the ornament";
  EXPECT_EQ(song.frames[2][0].regs[8], 15) << "F turns the envelope off";
  EXPECT_EQ(tone(song.frames[3][0], 0), notes()[kC4 + 12]);
}

TEST(VortexText, CommandsSlideToneAndEnvelopeBothWaysSetSpeedAndVibrate) {
  // 1 lowers the tone (its period grows by the step each frame after the
  // row), 2 raises it; B sets the frames per row; 6 turns the channel on
  // and off.
  TextModule module = with_pattern(row("C-4 1... 1102") + row(kEmpty) + row("--- .... 2104") + row(kEmpty) + row(kEmpty) +
                                   row("C-4 1... B..3") + row("--- .... 6.12"));
  const AySong song = play(module.text());
  const int c4 = notes()[kC4];
  const int expected[] = {c4, c4 + 2, c4 + 4, c4, c4 - 4};
  for (int frame = 0; frame < 5; ++frame) EXPECT_EQ(tone(song.frames[frame][0], 0), expected[frame]) << frame;
  ASSERT_EQ(song.frames.size(), 5u + 3 + 3);
  // Vibrato: one frame on, two off.
  EXPECT_GT(song.frames[8][0].regs[8], 0);
  EXPECT_EQ(song.frames[9][0].regs[8], 0);
  EXPECT_EQ(song.frames[10][0].regs[8], 0);

  // 9 and A move the envelope period up and down.
  TextModule envelope = with_pattern(row("C-4 1E.. 9103", kEmpty, kEmpty, ".100") + row("--- .... ....") +
                                     row("--- .... A101") + row("--- .... ...."));
  const AySong slid = play(envelope.text());
  const auto period = [&](size_t frame) { return slid.frames[frame][0].regs[11] | slid.frames[frame][0].regs[12] << 8; };
  EXPECT_EQ(period(0), 0x100);
  EXPECT_EQ(period(1), 0x103);
  EXPECT_EQ(period(2), 0x106);
  EXPECT_EQ(period(3), 0x105);
}

TEST(VortexText, RestSilencesAndEmptyColumnsKeepTheChannel) {
  TextModule module = with_pattern(row("C-4 1..8 ....") + row("--- .... ....") + row("R-- .... ....") +
                                   row("D-4 .... ...."));
  const AySong song = play(module.text());
  const auto& volumes = tools::ay::zx::pro_tracker3_volumes(6);
  EXPECT_EQ(song.frames[1][0].regs[8], volumes[8][15]);
  EXPECT_EQ(song.frames[2][0].regs[8], 0);
  EXPECT_EQ(song.frames[3][0].regs[8], volumes[8][15]) << "the volume and sample stay";
  EXPECT_EQ(tone(song.frames[3][0], 0), notes()[kC4 + 2]);
}

TEST(VortexText, ModuleKeysSetVersionTableSpeedRateClockLoopAndNames) {
  TextModule module;
  module.keys = "VortexTrackerII=0\nVersion=3.4\nTitle=Song\nAuthor=Someone\nNoteTable=0\nChipFreq=1750000\n"
                "IntFreq=48828\nSpeed=2\n";
  module.order = "0,L1";
  module.sections = {section("Pattern0", row("C-4 1... ....")), section("Pattern1", row("D-4 1... ....") + row(kEmpty))};
  const AySong song = play(module.text());
  EXPECT_EQ(tone(song.frames[0][0], 0), tools::ay::zx::pro_tracker3_notes(0, 4)[kC4]);
  EXPECT_EQ(song.frames.size(), 2u * 3);
  EXPECT_EQ(song.loop_frame, 2);
  EXPECT_NEAR(song.frame_hz, 48.828, 1e-9);
  EXPECT_EQ(song.clock_hz, 1750000);
  EXPECT_EQ(song.title, "Song");
  EXPECT_EQ(song.author, "Someone");
  EXPECT_EQ(song.program, "Vortex Tracker II");
  EXPECT_EQ(song.chips, 1);
}

TEST(VortexText, EachModuleDrivesAChipOfItsOwnTheFirstLeading) {
  TextModule first = with_pattern(row("C-4 1... ....") + row(kEmpty));
  TextModule second = with_pattern(row("E-4 1... ....") + row("F-4 1... ....") + row(kEmpty));
  second.keys = "Version=3.6\nNoteTable=2\nSpeed=1\n";
  TextModule third = with_pattern(row("G-4 1... ...."));
  const AySong two = play(first.text() + second.text());
  EXPECT_EQ(two.chips, 2);
  ASSERT_EQ(two.frames.size(), 2u);
  EXPECT_EQ(tone(two.frames[0][1], 0), notes()[kC4 + 4]);
  EXPECT_EQ(tone(two.frames[1][1], 0), notes()[kC4 + 5]);
  const AySong three = play(first.text() + second.text() + third.text());
  EXPECT_EQ(three.chips, 3);
  EXPECT_EQ(tone(three.frames[0][0], 0), notes()[kC4]);
  EXPECT_EQ(tone(three.frames[0][2], 0), notes()[kC4 + 7]);
  EXPECT_EQ(three.title, "Made");

  AySong song;
  std::string error;
  EXPECT_FALSE(parse(first.text() + second.text() + third.text() + third.text(), &song, &error));
}

TEST(VortexText, LimitsOfRowsPatternsAndPositions) {
  // 256 rows, all but the first empty: longer than one row count can say.
  std::string rows = row("C-4 1... ....");
  for (int i = 1; i < 256; ++i) rows += row(kEmpty);
  const AySong longest = play(with_pattern(rows).text());
  EXPECT_EQ(longest.frames.size(), 256u);
  EXPECT_GT(longest.frames[255][0].regs[8], 0) << "the note plays to the pattern's end";

  AySong song;
  std::string error;
  EXPECT_FALSE(parse(with_pattern(rows + row(kEmpty)).text(), &song, &error)) << "257 rows";
  TextModule highest = with_pattern(row("C-4 1... ...."));
  highest.order = "L84";
  highest.sections = {section("Pattern84", row("C-4 1... ...."))};
  EXPECT_EQ(play(highest.text()).frames.size(), 1u);
  highest.order = "L85";
  highest.sections = {section("Pattern85", row("C-4 1... ...."))};
  EXPECT_FALSE(parse(highest.text(), &song, &error)) << "pattern 85 has no position byte";
  TextModule missing = with_pattern(row("C-4 1... ...."));
  missing.order = "L0,1";
  EXPECT_FALSE(parse(missing.text(), &song, &error));
  EXPECT_NE(error.find("pattern 1"), std::string::npos) << error;
  TextModule malformed = with_pattern(row("C-4 1... ....") + row("H-4 1... ...."));
  EXPECT_FALSE(parse(malformed.text(), &song, &error));
}

TEST(VortexText, EveryCutIsRefusedUnlessAWholeFirstModuleRemains) {
  TextModule first = with_pattern(row("C-4 1.1F 1.01") + row("--- .... ....", "E-4 .... ....", kEmpty, "....", ".3"));
  first.sections.push_back(section("Ornament1", "0,L3,7\n"));
  TextModule second = with_pattern(row("G-4 1... ...."));
  const std::string one = first.text();
  const std::string whole = one + second.text();
  AySong song;
  std::string error;
  ASSERT_TRUE(parse(whole, &song, &error)) << error;
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    const bool parsed = parse(whole.substr(0, cut), &song, &error);
    // Only where the first module's last section has closed does the cut
    // leave a whole module: it plays on one chip.
    if (cut == one.size()) {
      EXPECT_TRUE(parsed) << error;
      EXPECT_EQ(song.chips, 1);
    } else {
      EXPECT_FALSE(parsed) << "cut at " << cut;
    }
  }
}

TEST(VortexText, DetectsTextModulesByTheirModuleSection) {
  const std::string text = with_pattern(row("C-4 1... ....")).text();
  const auto detect = [](const std::string& t) {
    return kVortexTextFormat.detect(reinterpret_cast<const uint8_t*>(t.data()), t.size());
  };
  EXPECT_TRUE(detect(text));
  EXPECT_TRUE(detect("\r\n" + text)) << "blank lines and CRLF before it";
  EXPECT_FALSE(detect("[Module]\nTitle=No order\n\n[Pattern0]\n"));
  EXPECT_FALSE(detect("[Sample1]\n" + text));
  for (const tools::ay::Format& format : tools::ay::formats()) {
    if (std::string(format.name) == kVortexTextFormat.name) continue;
    EXPECT_FALSE(format.detect(reinterpret_cast<const uint8_t*>(text.data()), text.size())) << format.name;
  }
}

}  // namespace
