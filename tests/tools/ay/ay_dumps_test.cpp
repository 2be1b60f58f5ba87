// The register dumps, made by the tests: what each parser reads from its
// header and frames, the Atari effects of YM5 and YM6, packed and bare YM
// files alike, and the refusal of truncated, damaged and foreign files.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/tools/ay/made_ay_files.h"
#include "tests/tools/made_files.h"
#include "tools/renderer/ay/psg_dump.h"
#include "tools/renderer/ay/song_player.h"
#include "tools/renderer/ay/vtx_dump.h"
#include "tools/renderer/ay/ym_dump.h"
#include "tools/renderer/ay_tune.h"

namespace {

using tools::ay::AySong;
using tools::ay::ChipType;
using tools::ay::Format;
using tools::ay::StereoLayout;
using tools::ay::TimerEffect;
using tools_test::Bytes;
using tools_test::RegisterFrame;

bool parse(const Format& format, const Bytes& data, AySong* song, std::string* error = nullptr) {
  std::string ignored;
  if (!format.detect(data.data(), data.size())) {
    if (error) *error = "not detected";
    return false;
  }
  return format.parse(data.data(), data.size(), song, error ? error : &ignored);
}

// The frames' first 13 registers and R13 where written, as the chip gets them.
void expect_frames(const AySong& song, const std::vector<RegisterFrame>& frames) {
  ASSERT_EQ(song.frames.size(), frames.size());
  for (size_t f = 0; f < frames.size(); ++f) {
    const tools::ay::ChipFrame& got = song.frames[f][0];
    for (int r = 0; r < 13; ++r) ASSERT_EQ(got.regs[r], frames[f][r]) << "frame " << f << " R" << r;
    ASSERT_EQ(got.shape_written, frames[f][13] != 0xFF) << "frame " << f;
    if (got.shape_written) {
      ASSERT_EQ(got.regs[13], frames[f][13]) << "frame " << f;
    }
  }
}

// A few frames that write the envelope shape now and then.
std::vector<RegisterFrame> test_frames(size_t count = 120) {
  std::vector<RegisterFrame> frames = tools_test::scale_frames(count, 7);
  for (size_t f = 0; f < count; f += 11) {
    frames[f][8] = 0x10;
    frames[f][11] = static_cast<uint8_t>(f);
    frames[f][13] = static_cast<uint8_t>(f % 16);
  }
  return frames;
}

// Every prefix of a file, and copies with one byte changed, as the parsers
// meet them in damaged downloads: none may crash, hang or read past the end.
std::vector<Bytes> damaged_copies(const Bytes& file) {
  std::vector<Bytes> copies;
  for (size_t length = 0; length < file.size(); length += std::max<size_t>(1, file.size() / 300)) {
    copies.emplace_back(file.begin(), file.begin() + length);
  }
  std::mt19937 random(7);
  for (int i = 0; i < 200; ++i) {
    Bytes copy = file;
    copy[random() % copy.size()] ^= static_cast<uint8_t>(1 + random() % 255);
    copies.push_back(copy);
  }
  return copies;
}

// ---------------------------------------------------------------- PSG

TEST(PsgDump, EachInterruptIsAFrameAndOnlyChangesAreLogged) {
  const std::vector<RegisterFrame> frames = test_frames();
  AySong song;
  ASSERT_TRUE(parse(tools::ay::kPsgFormat, tools_test::make_psg(frames, 60), &song));
  expect_frames(song, frames);
  EXPECT_EQ(song.frame_hz, 60);
  EXPECT_EQ(song.loop_frame, -1);
  EXPECT_EQ(song.chip, ChipType::ay);
  EXPECT_EQ(song.clock_hz, 1773400);
}

TEST(PsgDump, MarkersForManyInterruptsSetUpWritesAndTheEnd) {
  // Set-up writes before the first interrupt, FE 2 for eight interrupts,
  // the I/O ports and another device's register, then the end of music.
  Bytes psg = {'P', 'S', 'G', 0x1A, 0, 0};
  psg.resize(16, 0);
  const Bytes log = {7, 0x3E, 8, 12, 0xFF, 0, 50, 0xFE, 2, 0xFF, 14, 0xAA, 15, 0xBB, 40, 0x12,
                     0, 60, 0xFF, 13, 9, 0xFD, 0xFF, 0, 70};
  psg.insert(psg.end(), log.begin(), log.end());
  AySong song;
  ASSERT_TRUE(parse(tools::ay::kPsgFormat, psg, &song));
  // Frame 0, eight frames of FE 2, the frame with R0 = 60 and the one
  // that writes R13; what follows FD is not played.
  ASSERT_EQ(song.frames.size(), 11u);
  EXPECT_EQ(song.frame_hz, 50);  // version 0 has no rate byte
  EXPECT_EQ(song.frames[0][0].regs[7], 0x3E);
  EXPECT_EQ(song.frames[0][0].regs[8], 12);
  for (size_t f = 0; f < 9; ++f) EXPECT_EQ(song.frames[f][0].regs[0], 50) << f;
  EXPECT_EQ(song.frames[9][0].regs[0], 60);
  EXPECT_FALSE(song.frames[9][0].shape_written);
  EXPECT_EQ(song.frames[10][0].regs[0], 60);
  EXPECT_TRUE(song.frames[10][0].shape_written);
  EXPECT_EQ(song.frames[10][0].regs[13], 9);
}

TEST(PsgDump, ShortHeaderOfFourBytes) {
  const Bytes psg = {'P', 'S', 'G', 0x1A, 0xFF, 0, 100, 8, 15, 0xFF, 0xFF};
  AySong song;
  ASSERT_TRUE(parse(tools::ay::kPsgFormat, psg, &song));
  ASSERT_EQ(song.frames.size(), 3u);
  EXPECT_EQ(song.frames[0][0].regs[0], 100);
}

TEST(PsgDump, WithoutInterruptsThereIsNothingToPlay) {
  Bytes psg = {'P', 'S', 'G', 0x1A};
  psg.resize(16, 0);
  psg.insert(psg.end(), {0, 100, 8, 15});
  AySong song;
  std::string error;
  EXPECT_FALSE(parse(tools::ay::kPsgFormat, psg, &song, &error));
  EXPECT_FALSE(error.empty());
}

// ---------------------------------------------------------------- YM

TEST(YmDump, EveryKindPackedOrBareGivesTheSameFrames) {
  const std::vector<RegisterFrame> frames = test_frames();
  for (const char* kind : {"YM2!", "YM3!", "YM3b", "YM5!", "YM6!"}) {
    for (bool interleaved : {true, false}) {
      if (!interleaved && kind[2] < '5') continue;
      for (bool packed : {false, true}) {
        SCOPED_TRACE(std::string(kind) + (interleaved ? " interleaved" : " frame by frame") + (packed ? " packed" : " bare"));
        tools_test::YmFile made;
        made.kind = kind;
        made.interleaved = interleaved;
        made.loop_frame = 33;
        made.clock_hz = 1000000;
        made.rate_hz = 60;
        made.title = "Title";
        made.author = "Author";
        made.comment = "Comment";
        const Bytes ym = tools_test::make_ym(made, frames);
        AySong song;
        std::string error;
        ASSERT_TRUE(parse(tools::ay::kYmFormat, packed ? tools_test::lha_archive(ym, "song.bin") : ym, &song, &error))
            << error;
        expect_frames(song, frames);
        EXPECT_EQ(song.chip, ChipType::ym);
        const bool has_header = kind[2] >= '5';
        EXPECT_EQ(song.clock_hz, has_header ? 1000000 : 2000000);
        EXPECT_EQ(song.frame_hz, has_header ? 60 : 50);
        EXPECT_EQ(song.loop_frame, has_header || std::string(kind) == "YM3b" ? 33 : -1);
        EXPECT_EQ(song.title, has_header ? "Title" : "");
        EXPECT_EQ(song.author, has_header ? "Author" : "");
        EXPECT_EQ(song.comment, has_header ? "Comment" : "");
      }
    }
  }
}

TEST(YmDump, Ym5TimerEffectsComeFromTheRegistersSpareBits) {
  std::vector<RegisterFrame> frames = test_frames(4);
  // Frame 1: a SID voice on B, prescaler 4 (code 1) and count 28.
  frames[1][1] |= 0x20;
  frames[1][6] |= 1 << 5;
  frames[1][14] = 28;
  frames[1][9] = 11;
  // Frame 2: drum 1 on C, prescaler 50 (code 4) and count 150.
  frames[2][3] |= 0x30;
  frames[2][8] |= 4 << 5;
  frames[2][15] = 150;
  frames[2][10] = 1;
  tools_test::YmFile made;
  made.kind = "YM5!";
  made.drums = {Bytes{0, 128, 255}, Bytes{255, 0}};
  AySong song;
  ASSERT_TRUE(parse(tools::ay::kYmFormat, tools_test::make_ym(made, frames), &song));
  ASSERT_EQ(song.effects.size(), 4u);
  EXPECT_EQ(song.effects[0][0].kind, TimerEffect::Kind::none);
  EXPECT_EQ(song.effects[0][1].kind, TimerEffect::Kind::none);
  EXPECT_EQ(song.effects[1][0].kind, TimerEffect::Kind::sid);
  EXPECT_EQ(song.effects[1][0].voice, 1);
  EXPECT_EQ(song.effects[1][0].value, 11);
  EXPECT_NEAR(song.effects[1][0].hz, 2457600.0 / 4 / 28, 1e-6);
  EXPECT_EQ(song.effects[2][1].kind, TimerEffect::Kind::digidrum);
  EXPECT_EQ(song.effects[2][1].voice, 2);
  EXPECT_EQ(song.effects[2][1].value, 1);
  EXPECT_NEAR(song.effects[2][1].hz, 2457600.0 / 50 / 150, 1e-6);
  // The samples become fixed volumes: silence, about half, full.
  ASSERT_EQ(song.digidrums.size(), 2u);
  EXPECT_EQ(song.digidrums[0], (std::vector<uint8_t>{0, 13, 15}));
  // The spare bits do not reach the chip's registers.
  tools::ay::AyChip chip(ChipType::ym);
  for (int r = 0; r < 14; ++r) chip.write(r, song.frames[2][0].regs[r]);
  EXPECT_EQ(chip.reg(3), frames[2][3] & 0x0F);
  EXPECT_EQ(chip.reg(8), frames[2][8] & 0x1F);
}

TEST(YmDump, Ym6SlotsNameTheirKindVoiceAndTimer) {
  std::vector<RegisterFrame> frames = test_frames(4);
  // Slot 1 (R1, R6, R14): sync-buzzer on A, shape 12, prescaler 10, count 200.
  frames[0][1] = static_cast<uint8_t>((frames[0][1] & 0x0F) | 0xD0);
  frames[0][6] |= 2 << 5;
  frames[0][14] = 200;
  frames[0][8] = 12;
  // Slot 2 (R3, R8, R15): SID on C, prescaler 16, count 0 (256).
  frames[1][3] = static_cast<uint8_t>((frames[1][3] & 0x0F) | 0x30);
  frames[1][8] |= 3 << 5;
  frames[1][15] = 0;
  frames[1][10] = 9;
  // Slot 1: sinus-SID on B, which nothing plays; slot 2: drum 0 on A.
  frames[2][1] = static_cast<uint8_t>((frames[2][1] & 0x0F) | 0xA0);
  frames[2][6] |= 1 << 5;
  frames[2][14] = 50;
  frames[2][3] = static_cast<uint8_t>((frames[2][3] & 0x0F) | 0x50);
  frames[2][8] = (1 << 5) | 0;
  frames[2][15] = 40;
  // Slot 1 with its timer stopped (prescaler code 0).
  frames[3][1] = static_cast<uint8_t>((frames[3][1] & 0x0F) | 0x10);
  frames[3][14] = 50;
  tools_test::YmFile made;
  made.kind = "YM6!";
  made.drums = {Bytes(100, 200)};
  AySong song;
  ASSERT_TRUE(parse(tools::ay::kYmFormat, tools_test::lha_archive(tools_test::make_ym(made, frames), "x"), &song));
  ASSERT_EQ(song.effects.size(), 4u);
  EXPECT_EQ(song.effects[0][0].kind, TimerEffect::Kind::sync_buzzer);
  EXPECT_EQ(song.effects[0][0].voice, 0);
  EXPECT_EQ(song.effects[0][0].value, 12);
  EXPECT_NEAR(song.effects[0][0].hz, 2457600.0 / 10 / 200, 1e-6);
  EXPECT_EQ(song.effects[1][1].kind, TimerEffect::Kind::sid);
  EXPECT_EQ(song.effects[1][1].voice, 2);
  EXPECT_EQ(song.effects[1][1].value, 9);
  EXPECT_NEAR(song.effects[1][1].hz, 2457600.0 / 16 / 256, 1e-6);
  EXPECT_EQ(song.effects[2][0].kind, TimerEffect::Kind::none);
  EXPECT_EQ(song.effects[2][1].kind, TimerEffect::Kind::digidrum);
  EXPECT_EQ(song.effects[2][1].voice, 0);
  EXPECT_EQ(song.effects[2][1].value, 0);
  EXPECT_EQ(song.effects[3][0].hz, 0);
}

// The frequency from rising zero crossings of one side of a player's output.
double played_frequency(const AySong& song, double skip_seconds, double seconds) {
  tools::ay::SongPlayer player(song);
  const size_t skip = static_cast<size_t>(skip_seconds * 44100), frames = static_cast<size_t>(seconds * 44100);
  std::vector<float> out(2 * (skip + frames));
  player.render_float(out.data(), skip + frames);
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = skip + 1; i < skip + frames; ++i) {
    const float a = out[2 * (i - 1)], b = out[2 * i];
    if (a < 0 && b >= 0) {
      const double at = (i - 1) + a / (a - b);
      if (first < 0) first = at;
      last = at;
      ++crossings;
    }
  }
  return crossings > 1 ? (crossings - 1) * 44100.0 / (last - first) : 0;
}

TEST(YmDump, TimerEffectsPlayAtTheTimersRate) {
  // Channel A with tone and noise off: its level alone makes the sound.
  std::vector<RegisterFrame> frames(35, RegisterFrame{});
  for (RegisterFrame& frame : frames) {
    frame[7] = 0x3F;
    frame[8] = 15;
    frame[13] = 0xFF;
    frame[1] = 0x10;  // slot 1 on voice A, kind 00: SID
    frame[6] = 1 << 5;  // prescaler 4
    frame[14] = 128;    // 4,800 Hz: the level flips at that rate
  }
  tools_test::YmFile made;
  AySong sid;
  ASSERT_TRUE(parse(tools::ay::kYmFormat, tools_test::make_ym(made, frames), &sid));
  EXPECT_NEAR(played_frequency(sid, 0.1, 0.5), 2457600.0 / 4 / 128 / 2, 2);

  // The sync-buzzer restarts a rising saw (shape 12) at the timer's rate.
  for (RegisterFrame& frame : frames) {
    frame[1] = 0xD0;
    frame[8] = 0x10 | 12;
    frame[11] = 2;  // a cycle of 256 * 2 clock cycles, a little shorter than the timer's
    frame[12] = 0;
    frame[14] = 192;  // 3,200 Hz
  }
  AySong buzzer;
  ASSERT_TRUE(parse(tools::ay::kYmFormat, tools_test::make_ym(made, frames), &buzzer));
  EXPECT_NEAR(played_frequency(buzzer, 0.1, 0.5), 2457600.0 / 4 / 192, 2);

  // Without the effect the level is steady: nothing to hear.
  for (RegisterFrame& frame : frames) frame[1] = 0;
  AySong steady;
  ASSERT_TRUE(parse(tools::ay::kYmFormat, tools_test::make_ym(made, frames), &steady));
  EXPECT_EQ(played_frequency(steady, 0.1, 0.5), 0);
}

TEST(YmDump, DigidrumPlaysItsSampleOnceThenTheVoiceIsFree) {
  std::vector<RegisterFrame> frames(30, RegisterFrame{});
  for (RegisterFrame& frame : frames) {
    frame[7] = 0x3F;
    frame[13] = 0xFF;
  }
  // Drum 0 on A in frame 10 at 2457600 / 4 / 64 = 9,600 Hz: 968 samples,
  // 0.1 s of a 600 Hz square between levels 0 and 15, ending on 0.
  frames[10][3] = 0x50;
  frames[10][8] = (1 << 5) | 0;
  frames[10][15] = 64;
  Bytes drum;
  for (int i = 0; i < 968; ++i) drum.push_back((i / 8) % 2 ? 255 : 0);
  tools_test::YmFile made;
  made.drums = {drum};
  AySong song;
  ASSERT_TRUE(parse(tools::ay::kYmFormat, tools_test::make_ym(made, frames), &song));
  tools::ay::SongPlayer player(song);
  std::vector<float> out(2 * 26460);
  ASSERT_EQ(player.render_float(out.data(), 26460), 26460u);
  const auto energy = [&](double from, double to) {
    double sum = 0;
    for (size_t i = static_cast<size_t>(from * 44100); i < static_cast<size_t>(to * 44100); ++i) sum += out[2 * i] * out[2 * i];
    return sum;
  };
  // Silence, the drum from frame 10 (0.2 s) for 0.1 s, then silence again
  // once the DC filter has settled.
  EXPECT_LT(energy(0.05, 0.19), 1e-6);
  EXPECT_GT(energy(0.21, 0.29), 100.0);
  EXPECT_LT(energy(0.45, 0.59), 1e-4 * energy(0.21, 0.29));
}

TEST(YmDump, DamagedFilesAreRefusedOrPlayedWithoutHarm) {
  tools_test::YmFile made;
  made.title = "t";
  made.drums = {Bytes(64, 100)};
  const Bytes ym = tools_test::make_ym(made, test_frames(60));
  const Bytes packed = tools_test::lha_archive(ym, "t.bin");
  for (const Bytes& file : {ym, packed}) {
    for (const Bytes& copy : damaged_copies(file)) {
      AySong song;
      std::string error;
      if (parse(tools::ay::kYmFormat, copy, &song, &error)) {
        EXPECT_LE(song.frames.size(), tools::ay::kMaxFrames);
        EXPECT_EQ(song.effects.size(), song.frames.size());
      } else {
        EXPECT_FALSE(error.empty());
      }
    }
  }
  // Every truncation of the packed file fails its length or CRC check.
  for (size_t length = 0; length + 1 < packed.size(); ++length) {
    AySong song;
    EXPECT_FALSE(parse(tools::ay::kYmFormat, Bytes(packed.begin(), packed.begin() + length), &song)) << length;
  }
  // A changed byte in the packed data fails the CRC.
  Bytes changed = packed;
  changed[changed.size() / 2] ^= 0x10;
  AySong song;
  std::string error;
  EXPECT_FALSE(parse(tools::ay::kYmFormat, changed, &song, &error));
}

// Real YM5 and YM6 files end with the mark whole, cut short or left out,
// and a few lost a byte of their block yet kept the mark: all hold every
// frame. A block cut by a frame or more, or cut without the mark, does not.
TEST(YmDump, FramesCountNotTheEndMarkAfterThem) {
  tools_test::YmFile made;
  const std::vector<RegisterFrame> frames = test_frames(20);
  const Bytes ym6 = tools_test::make_ym(made, frames);
  for (size_t cut : {2u, 4u}) {
    AySong song;
    std::string error;
    EXPECT_TRUE(parse(tools::ay::kYmFormat, Bytes(ym6.begin(), ym6.end() - cut), &song, &error)) << cut << error;
    expect_frames(song, frames);
  }
  // One register byte gone before the mark: the last frame's R15 reads 0.
  Bytes short_block(ym6.begin(), ym6.end() - 5);
  short_block.insert(short_block.end(), {'E', 'n', 'd', '!'});
  AySong song;
  std::string error;
  EXPECT_TRUE(parse(tools::ay::kYmFormat, short_block, &song, &error)) << error;
  expect_frames(song, frames);

  Bytes frame_short(ym6.begin(), ym6.end() - 4 - 16);
  frame_short.insert(frame_short.end(), {'E', 'n', 'd', '!'});
  EXPECT_FALSE(parse(tools::ay::kYmFormat, frame_short, &song, &error));
  EXPECT_EQ(error, "the YM register block is truncated");
  EXPECT_FALSE(parse(tools::ay::kYmFormat, Bytes(ym6.begin(), ym6.end() - 5), &song));

  made.kind = "YM3!";
  Bytes ym3 = tools_test::make_ym(made, frames);
  ym3.pop_back();
  EXPECT_FALSE(parse(tools::ay::kYmFormat, ym3, &song));
  EXPECT_FALSE(parse(tools::ay::kYmFormat, Bytes{'Y', 'M', '3', '!'}, &song));
}

// Archives whose header size, checksum and packed size were overwritten
// (real files carry "xx" there) unpack by the fields that are left; the
// CRC still refuses changed data.
TEST(YmDump, ScribbledLhaHeaderStillUnpacksWhenTheCrcHolds) {
  tools_test::YmFile made;
  made.title = "scribbled";
  const std::vector<RegisterFrame> frames = test_frames(40);
  Bytes packed = tools_test::lha_archive(tools_test::make_ym(made, frames), "s.ym");
  for (size_t at : {0u, 1u, 7u, 8u}) packed[at] = 'x';
  AySong song;
  std::string error;
  ASSERT_TRUE(parse(tools::ay::kYmFormat, packed, &song, &error)) << error;
  expect_frames(song, frames);
  EXPECT_EQ(song.title, "scribbled");

  packed[packed.size() / 2] ^= 0x10;
  EXPECT_FALSE(parse(tools::ay::kYmFormat, packed, &song, &error));
  EXPECT_FALSE(error.empty());
}

// The renderer names why the format it recognised refused a file.
TEST(YmDump, RefusalNamesTheFormatsReason) {
  tools_test::YmFile made;
  const Bytes ym6 = tools_test::make_ym(made, test_frames(20));
  std::string error;
  EXPECT_FALSE(tools::open_tune(Bytes(ym6.begin(), ym6.begin() + ym6.size() / 2), "cut.ym", &error));
  EXPECT_EQ(error, "the file cannot be played: YM register dump: the YM register block is truncated");
  EXPECT_FALSE(tools::open_tune(Bytes(3000, 0x5A), "noise.ym", &error));
  EXPECT_EQ(error, "not a tune in any format this renderer plays");
}

// ---------------------------------------------------------------- VTX

TEST(VtxDump, HeaderGivesChipLayoutClockRateLoopAndTexts) {
  const std::vector<RegisterFrame> frames = test_frames();
  struct Case {
    uint8_t stereo;
    StereoLayout layout;
  };
  for (const Case& c : {Case{0, StereoLayout::mono}, Case{1, StereoLayout::abc}, Case{2, StereoLayout::acb},
                        Case{3, StereoLayout::bac}, Case{4, StereoLayout::acb}, Case{5, StereoLayout::bac},
                        Case{6, StereoLayout::abc}}) {
    for (bool ym : {false, true}) {
      SCOPED_TRACE(std::to_string(c.stereo) + (ym ? " ym" : " ay"));
      tools_test::VtxFile made;
      made.ym = ym;
      made.stereo = c.stereo;
      made.loop_frame = 17;
      made.clock_hz = 2000000;
      made.rate_hz = 48;
      made.year = 1998;
      made.title = "The title";
      made.author = "The author";
      made.program = "";
      made.tracker = "Vortex Tracker";
      made.comment = "A comment";
      AySong song;
      std::string error;
      ASSERT_TRUE(parse(tools::ay::kVtxFormat, tools_test::make_vtx(made, frames), &song, &error)) << error;
      expect_frames(song, frames);
      EXPECT_EQ(song.chip, ym ? ChipType::ym : ChipType::ay);
      EXPECT_EQ(song.layout, c.layout);
      EXPECT_EQ(song.loop_frame, 17);
      EXPECT_EQ(song.clock_hz, 2000000);
      EXPECT_EQ(song.frame_hz, 48);
      EXPECT_EQ(song.year, "1998");
      EXPECT_EQ(song.title, "The title");
      EXPECT_EQ(song.author, "The author");
      // With no source program, the tracker stands for it.
      EXPECT_EQ(song.program, "Vortex Tracker");
      EXPECT_EQ(song.comment, "A comment");
    }
  }
}

TEST(VtxDump, TruncatedOrDamagedFilesAreRefusedOrPlayedWithoutHarm) {
  tools_test::VtxFile made;
  made.title = "title";
  const Bytes vtx = tools_test::make_vtx(made, test_frames(60));
  for (const Bytes& copy : damaged_copies(vtx)) {
    AySong song;
    std::string error;
    if (parse(tools::ay::kVtxFormat, copy, &song, &error)) {
      EXPECT_LE(song.frames.size(), tools::ay::kMaxFrames);
    } else {
      EXPECT_FALSE(error.empty());
    }
  }
  // Cut anywhere in the packed data, it unpacks short.
  for (size_t length = 0; length + 1 < vtx.size(); ++length) {
    AySong song;
    EXPECT_FALSE(parse(tools::ay::kVtxFormat, Bytes(vtx.begin(), vtx.begin() + length), &song)) << length;
  }
}

// ---------------------------------------------------------------- all

TEST(AyDumps, EachFormatTakesOnlyItsOwnFiles) {
  tools_test::YmFile ym_made;
  const Bytes ym = tools_test::make_ym(ym_made, test_frames(30));
  const std::vector<std::pair<const Format*, Bytes>> own = {
      {&tools::ay::kPsgFormat, tools_test::make_psg(test_frames(30))},
      {&tools::ay::kYmFormat, ym},
      {&tools::ay::kYmFormat, tools_test::lha_archive(ym, "x.bin")},
      {&tools::ay::kVtxFormat, tools_test::make_vtx(tools_test::VtxFile(), test_frames(30))},
  };
  std::vector<Bytes> foreign = {tools_test::make_mod(true), tools_test::make_dro(500, 100, "t", "a"),
                                tools_test::lha_archive(Bytes(1000, 'x'), "notes.txt"), Bytes()};
  std::mt19937 random(3);
  for (int i = 0; i < 50; ++i) {
    Bytes noise(1 + random() % 4000);
    for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
    foreign.push_back(noise);
  }
  for (const Format* format : {&tools::ay::kPsgFormat, &tools::ay::kYmFormat, &tools::ay::kVtxFormat}) {
    SCOPED_TRACE(format->name);
    for (const auto& [owner, file] : own) {
      EXPECT_EQ(format->detect(file.data(), file.size()), owner == format);
    }
    for (const Bytes& file : foreign) EXPECT_FALSE(format->detect(file.data(), file.size()));
  }
}

TEST(AyDumps, TagsComeInTheirCodePageAndLeaveAsUtf8) {
  tools_test::VtxFile made;
  made.title = "\xCC\xEE\xFF \xEF\xE5\xF1\xED\xFF";      // "Моя песня" in code page 1251
  made.author = "\x8C\xAE\xEF \xAF\xA5\xE1\xAD\xEF";     // the same in code page 866
  made.program = "Caf\xE9";                              // Latin-1
  made.year = 1995;
  AySong song;
  ASSERT_TRUE(parse(tools::ay::kVtxFormat, tools_test::make_vtx(made, test_frames(10)), &song));
  const tools::TuneTags tags = tools::ay_song_tags(song);
  EXPECT_EQ(tags.title, "\xD0\x9C\xD0\xBE\xD1\x8F \xD0\xBF\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F");
  EXPECT_EQ(tags.artist, "\xD0\x9C\xD0\xBE\xD1\x8F \xD0\xBF\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F");
  EXPECT_EQ(tags.album, "Caf\xC3\xA9");
  EXPECT_EQ(tags.copyright, "1995");
}

}  // namespace
