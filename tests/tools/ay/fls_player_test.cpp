// Flash Tracker modules made here byte by byte: the load address found from
// the tables alone, Sound Tracker's samples, ornaments and tracks behind
// them (numbered as Flash Tracker numbers them), the position list's delay
// and order, the limits of the lists, and truncated files, which the
// renderer refuses with exit code 1 and no WAV.
#include "tools/renderer/ay/fls_player.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/tools/ay/sound_tracker_forms_maker.h"
#include "tests/tools/made_files.h"
#include "tests/tools/tool_process.h"
#include "tests/tools/ay/zx_module_maker.h"
#include "tools/renderer/ay/st3_player.h"
#include "tools/renderer/ay/stc_player.h"
#include "tools/renderer/ay/zx_tables.h"

namespace {

using tools::ay::AySong;
using tools::ay::kFlsFormat;
using zx_test::Bytes;
using zx_test::tone;
using namespace st_forms_test;

constexpr uint8_t kSample0 = 0x60;
constexpr uint8_t kOrnament0 = 0x70;
constexpr uint8_t kRest = 0x80;
constexpr uint8_t kEmptyRow = 0x81;
constexpr uint8_t kEnd = 0xFF;
constexpr int kC4 = 36;

const tools::ay::zx::NoteTable& notes() { return tools::ay::zx::sound_tracker_notes(); }

AySong play(const Bytes& bytes) {
  AySong song;
  std::string error;
  EXPECT_TRUE(kFlsFormat.detect(bytes.data(), bytes.size()));
  EXPECT_TRUE(kFlsFormat.parse(bytes.data(), bytes.size(), &song, &error)) << error;
  return song;
}

bool taken(const Bytes& bytes) {
  AySong song;
  std::string error;
  const bool detected = kFlsFormat.detect(bytes.data(), bytes.size());
  EXPECT_EQ(kFlsFormat.parse(bytes.data(), bytes.size(), &song, &error), detected);
  return detected;
}

std::array<Bytes, 3> on_a(const Bytes& track) { return {track, Bytes{kEmptyRow, kEnd}, Bytes{kEmptyRow, kEnd}}; }

Fls one_voice(const Bytes& track) {
  Fls module;
  module.patterns = {on_a(track)};
  module.samples = {fls_sample()};
  return module;
}

std::array<uint8_t, 32> ornament(int first, int second) {
  std::array<uint8_t, 32> offsets{};
  offsets[0] = static_cast<uint8_t>(first);
  offsets[1] = static_cast<uint8_t>(second);
  return offsets;
}

TEST(FlsPlayer, FindsTheLoadAddressFromTheTablesAlone) {
  const Bytes track = {kSample0, kC4, kEmptyRow, kEnd};
  std::vector<tools::ay::Frame> first;
  for (int base : {0xC000, 0x8000, 0x5D3B, 0x4000}) {
    SCOPED_TRACE(base);
    Fls module = one_voice(track);
    module.base = base;
    const AySong song = play(make_fls(module));
    ASSERT_EQ(song.frames.size(), 4u);
    EXPECT_EQ(tone(song.frames[0][0], 0), notes()[kC4]);
    EXPECT_EQ(tone(song.frames[1][0], 0), notes()[kC4] - 0x21);
    EXPECT_EQ(song.program, "Flash Tracker");
    EXPECT_TRUE(song.title.empty());
    if (first.empty()) first = song.frames;
    for (size_t f = 0; f < song.frames.size(); ++f) EXPECT_EQ(song.frames[f][0].regs, first[f][0].regs) << f;
  }
}

TEST(FlsPlayer, LoadAddressMustKeepTheModuleInRam) {
  Fls module = one_voice({kSample0, kC4, kEnd});
  const size_t size = make_fls(module).size();
  module.base = static_cast<int>(0x10000 - size);
  EXPECT_TRUE(taken(make_fls(module))) << "the module ends at the top of memory";
  module.base = 0x3FFF;
  EXPECT_FALSE(taken(make_fls(module))) << "in the ROM";
}

TEST(FlsPlayer, PatternsThePositionsSkipStillPlaceTheBase) {
  Fls module = one_voice({kSample0, kC4, kEnd});
  module.patterns.push_back(on_a({kSample0, kC4 + 7, kEnd}));
  module.patterns.push_back(on_a({kSample0, kC4 + 4, kEnd}));
  module.positions = {3, 1};
  const AySong song = play(make_fls(module));
  ASSERT_EQ(song.frames.size(), 4u);
  EXPECT_EQ(tone(song.frames[0][0], 0), notes()[kC4 + 4]);
  EXPECT_EQ(tone(song.frames[2][0], 0), notes()[kC4]);
}

TEST(FlsPlayer, DelayAndOrderComeFromThePositionListWithoutTransposition) {
  Fls module = one_voice({kSample0, kC4, kEnd});
  module.patterns.push_back(on_a({kSample0, kC4 + 4, kEnd}));
  module.delay = 3;
  module.positions = {2, 1, 2};
  const AySong song = play(make_fls(module));
  ASSERT_EQ(song.frames.size(), 9u);
  EXPECT_EQ(tone(song.frames[0][0], 0), notes()[kC4 + 4]);
  EXPECT_EQ(tone(song.frames[3][0], 0), notes()[kC4]);
  EXPECT_EQ(tone(song.frames[6][0], 0), notes()[kC4 + 4]);
  EXPECT_EQ(song.loop_frame, 0);
}

TEST(FlsPlayer, SamplesCountFromZeroAndOrnamentsFromOne) {
  Fls module = one_voice({0x61, 0x71, kC4, kSample0, 0x72, kC4, kOrnament0, kC4, kEnd});
  module.samples.push_back(fls_sample());
  module.samples[1][0] = 9;  // sample 1's first line: volume 9
  module.ornaments = {ornament(12, 0), ornament(7, 0)};
  const AySong song = play(make_fls(module));
  ASSERT_EQ(song.frames.size(), 6u);
  EXPECT_EQ(tone(song.frames[0][0], 0), notes()[kC4 + 12]);
  EXPECT_EQ(song.frames[0][0].regs[8], 9);
  EXPECT_EQ(tone(song.frames[2][0], 0), notes()[kC4 + 7]);
  EXPECT_EQ(song.frames[2][0].regs[8], 15);
  EXPECT_EQ(tone(song.frames[4][0], 0), notes()[kC4]) << "ornament 0 shifts nothing";
}

TEST(FlsPlayer, EnvelopeRowLengthAndRest) {
  // An envelope period of 0xFF does not end the track.
  Fls module = one_voice({kSample0, 0x8A, 0xFF, kC4, 0xA2, kC4, kRest, kEnd});
  const AySong song = play(make_fls(module));
  ASSERT_EQ(song.frames.size(), 10u) << "one row, then two of two";
  EXPECT_TRUE(song.frames[0][0].shape_written);
  EXPECT_EQ(song.frames[0][0].regs[13], 0x0A);
  EXPECT_EQ(song.frames[0][0].regs[11], 0xFF);
  EXPECT_EQ(song.frames[0][0].regs[8], 0x10 | 15);
  EXPECT_EQ(tone(song.frames[2][0], 0), notes()[kC4]);
  EXPECT_EQ(song.frames[6][0].regs[8], 0) << "the rest";
}

TEST(FlsPlayer, SampleRepeatLoopsAsSoundTrackers) {
  Fls module = one_voice({kSample0, kC4, kEnd});
  module.delay = 40;
  const AySong song = play(make_fls(module));
  EXPECT_EQ(tone(song.frames[31][0], 0), notes()[kC4] - 0x21);
  EXPECT_EQ(tone(song.frames[32][0], 0), notes()[kC4] + 0x13);
  EXPECT_EQ(tone(song.frames[33][0], 0), notes()[kC4] - 0x21);
}

TEST(FlsPlayer, PlaysAsTheSoundTrackerModuleItWasConvertedFrom) {
  const Bytes a = {0x61, 0x71, kC4, 0x8C, 0x20, kC4 + 2, kSample0, kOrnament0, kC4 + 5, kRest, kEnd};
  const Bytes b = {kSample0, 0xA2, kC4 - 12, kC4 - 5, kEnd};
  const Bytes c = {kEmptyRow, 0x61, kC4 + 24, kEmptyRow, kEmptyRow, kEnd};
  Fls fls;
  fls.delay = 3;
  fls.patterns = {{a, b, c}, {b, c, a}};
  fls.positions = {1, 2, 2, 1};
  fls.samples = {fls_sample(), fls_sample()};
  fls.samples[1][0] = 0x2B;  // line 0: volume 11, 0x200 taken off the period
  fls.ornaments = {ornament(0, 5)};
  zx_test::StcModule stc;
  stc.delay = 3;
  stc.positions = {{1, 0}, {2, 0}, {2, 0}, {1, 0}};
  stc.samples.resize(2);
  for (int s = 0; s < 2; ++s) {
    stc.samples[s].number = s;
    stc.samples[s].repeat = 2, stc.samples[s].repeat_length = 1;
    for (auto& line : stc.samples[s].lines) line.tone = true, line.noise = false;
    stc.samples[s].lines[1].tone_offset = -0x21;
    stc.samples[s].lines[2].tone_offset = 0x13;
  }
  stc.samples[1].lines[0].volume = 11, stc.samples[1].lines[0].tone_offset = -0x200;
  stc.ornaments.push_back(zx_test::StcOrnament{1, {0, 5}});
  stc.patterns = {{1, {a, b, c}}, {2, {b, c, a}}};
  const Bytes stc_bytes = zx_test::make_stc(stc);
  AySong expected;
  std::string error;
  ASSERT_TRUE(tools::ay::kStcFormat.parse(stc_bytes.data(), stc_bytes.size(), &expected, &error)) << error;
  const AySong song = play(make_fls(fls));
  ASSERT_EQ(song.frames.size(), expected.frames.size());
  for (size_t f = 0; f < song.frames.size(); ++f) EXPECT_EQ(song.frames[f][0].regs, expected.frames[f][0].regs) << f;
  EXPECT_FALSE(kFlsFormat.detect(stc_bytes.data(), stc_bytes.size()));
}

TEST(FlsPlayer, SixteenSamplesAndFifteenOrnamentsAtMost) {
  Fls module = one_voice({0x6F, 0x7F, kC4, kEnd});
  module.samples.assign(16, fls_sample());
  module.ornaments.assign(15, ornament(3, 0));
  const AySong song = play(make_fls(module));
  EXPECT_EQ(tone(song.frames[0][0], 0), notes()[kC4 + 3]);
  Fls more = module;
  more.samples.push_back(fls_sample());
  EXPECT_FALSE(taken(make_fls(more)));
  more = module;
  more.ornaments.push_back(ornament(3, 0));
  EXPECT_FALSE(taken(make_fls(more)));
}

TEST(FlsPlayer, TracksNameOnlyTheSamplesAndOrnamentsHeld) {
  EXPECT_TRUE(taken(make_fls(one_voice({kSample0, kC4, kEnd}))));
  EXPECT_FALSE(taken(make_fls(one_voice({0x61, kC4, kEnd}))));
  Fls module = one_voice({0x71, kC4, kEnd});
  EXPECT_FALSE(taken(make_fls(module)));
  module.ornaments = {ornament(1, 0)};
  EXPECT_TRUE(taken(make_fls(module)));
  EXPECT_FALSE(taken(make_fls(one_voice({kSample0, 0x90, kC4, kEnd})))) << "no such command";
}

TEST(FlsPlayer, PositionListLimits) {
  Fls module = one_voice({kSample0, kC4, kEnd});
  module.positions.assign(256, 1);
  EXPECT_TRUE(taken(make_fls(module)));
  module.positions.push_back(1);
  EXPECT_FALSE(taken(make_fls(module))) << "257 positions";
  module.positions = {};
  EXPECT_FALSE(taken(make_fls(module))) << "none";
  module.positions = {1, 2};
  EXPECT_FALSE(taken(make_fls(module))) << "a pattern not in the table";
  module.positions = {1};
  module.delay = 0;
  EXPECT_FALSE(taken(make_fls(module)));
}

TEST(FlsPlayer, PartsLieInsideTheFileAndPastTheLists) {
  Fls module = one_voice({kSample0, kC4, kEnd});
  module.samples[0][96] = 31;  // a repeat from line 31 over three lines
  module.samples[0][97] = 2;
  EXPECT_FALSE(taken(make_fls(module)));
  module.samples[0][97] = 1;
  EXPECT_TRUE(taken(make_fls(module)));
  Bytes bytes = make_fls(one_voice({kSample0, kC4, kEnd}));
  const Bytes good = bytes;
  bytes[6] = 0x02, bytes[7] = 0xC0;  // channel A's track in the header
  EXPECT_FALSE(taken(bytes));
  bytes = good;
  bytes.push_back(0);  // a sample's lines end in the last byte
  const size_t sample_address = bytes.size() - 96 + 0xC000;
  bytes[14] = sample_address & 0xFF, bytes[15] = sample_address >> 8;
  EXPECT_TRUE(taken(bytes));
  bytes.pop_back();
  EXPECT_FALSE(taken(bytes)) << "one byte short";
}

Bytes cut_test_module() {
  Fls module = one_voice({0x61, 0x71, kC4, 0x8C, 0xFF, kC4, kEnd});
  module.patterns.push_back(on_a({kSample0, kC4, kEnd}));
  module.positions = {1, 2};
  module.samples.push_back(fls_sample());
  module.ornaments = {ornament(12, 0)};
  return make_fls(module);
}

TEST(FlsPlayer, EveryCutIsRefused) {
  const Bytes bytes = cut_test_module();
  ASSERT_TRUE(taken(bytes));
  for (size_t size = 0; size < bytes.size(); ++size) {
    AySong song;
    std::string error;
    EXPECT_FALSE(kFlsFormat.detect(bytes.data(), size)) << size;
    EXPECT_FALSE(kFlsFormat.parse(bytes.data(), size, &song, &error)) << size;
  }
}

TEST(FlsPlayer, RendererWritesTheWholeModuleAndRefusesEveryCut) {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(testing::TempDir()) / "tools_fls_cuts";
  fs::remove_all(root);
  fs::create_directories(root / "cwd");
  const std::string module = (root / "module.fls").string();
  const Bytes bytes = cut_test_module();
  auto render = [&](size_t size) {
    EXPECT_TRUE(tools_test::write_file(module, Bytes(bytes.begin(), bytes.begin() + size)));
    return tools_test::run_tool(tools_test::native_path(TOOLS_AMIGA), {"/adp", module}, (root / "cwd").string());
  };
  auto written = [&] {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root / "cwd")) {
      if (entry.path().filename() != "tool-stderr.txt") names.push_back(entry.path().filename().string());
    }
    return names;
  };
  const tools_test::ToolRun whole = render(bytes.size());
  EXPECT_EQ(whole.exit_code, 0) << whole.error_output;
  EXPECT_EQ(written(), std::vector<std::string>{"module.wav"});
  fs::remove(root / "cwd" / "module.wav");
  for (size_t size = 0; size < bytes.size(); ++size) {
    const tools_test::ToolRun run = render(size);
    EXPECT_EQ(run.exit_code, 1) << size << ": " << run.error_output;
    EXPECT_TRUE(written().empty()) << size;
  }
  fs::remove_all(root);
}

TEST(FlsPlayer, TakenFirstByItsOwnFormatAndNotTakingTheOtherForms) {
  const Bytes bytes = make_fls(one_voice({kSample0, kC4, kEnd}));
  const tools::ay::Format* first = nullptr;
  for (const tools::ay::Format& format : tools::ay::formats()) {
    if (format.detect(bytes.data(), bytes.size())) {
      first = &format;
      break;
    }
  }
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first->name, kFlsFormat.name);
  const Bytes st3 = make_st3({{0, 0}}, {0x60, kC4, 0xFF}, true);
  EXPECT_FALSE(kFlsFormat.detect(st3.data(), st3.size()));
  St1 st1(2, 4);
  st1.position(0, 1, 0);
  st1.patterns(1);
  EXPECT_FALSE(kFlsFormat.detect(st1.bytes.data(), st1.bytes.size()));
}

}  // namespace
