// Fuxoft AY Language on modules the tests make: notes, rests and the
// volume program, calls, loops and transposition, the pitch program's
// modes, noise and legato, where the song's repeat is found, and the
// programs and cuts that must be refused.
#include "tools/renderer/ay/fxm_ay_file.h"
#include "tools/renderer/ay/fxm_player.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "tests/tools/ay/tracker_module_maker.h"

namespace {

using tools::ay::AySong;
using tools::ay::kFxmFormat;
using tracker_test::Bytes;
using tracker_test::level;
using tracker_test::reg;
using tracker_test::tone;

constexpr uint16_t kLoad = 0x9000;

int lo(uint16_t address) { return address & 0xFF; }
int hi(uint16_t address) { return address >> 8; }

// A data block built piece by piece; `next()` is the address the next
// piece lands at, so a piece can jump into itself.
struct FxmModule {
  Bytes block = Bytes(6);

  uint16_t next() const { return static_cast<uint16_t>(kLoad + block.size()); }
  uint16_t add(std::initializer_list<int> bytes) {
    const uint16_t at = next();
    for (int b : bytes) block.push_back(static_cast<uint8_t>(b));
    return at;
  }
  // `body`, then a jump back to its byte `loop`.
  uint16_t add_looped(std::initializer_list<int> body, int loop) {
    const uint16_t at = add(body);
    const uint16_t back = static_cast<uint16_t>(at + loop);
    add({0x80, lo(back), hi(back)});
    return at;
  }
  void channels(uint16_t a, uint16_t b, uint16_t c) {
    const uint16_t starts[3] = {a, b, c};
    for (int i = 0; i < 3; ++i) {
      block[2 * i] = static_cast<uint8_t>(lo(starts[i]));
      block[2 * i + 1] = static_cast<uint8_t>(hi(starts[i]));
    }
  }
  Bytes file() const {
    Bytes out = {'F', 'X', 'S', 'M', kLoad & 0xFF, kLoad >> 8};
    out.insert(out.end(), block.begin(), block.end());
    return out;
  }
};

AySong play(const FxmModule& m) { return tracker_test::play(kFxmFormat, m.file()); }

// The volume and pitch programs a note starts, then channel A's first
// commands, which choose them.
struct Programs {
  uint16_t volumes, pitches;
};
Programs add_programs(FxmModule& m, std::initializer_list<int> volumes, std::initializer_list<int> pitches,
                   int pitch_loop) {
  Programs s;
  s.volumes = m.add(volumes);
  s.pitches = m.add_looped(pitches, pitch_loop);
  return s;
}

TEST(FxmPlayerTest, NotesAndRestsLastTheirFramesWithTheVolumeProgramAndTheSongRepeats) {
  FxmModule m;
  // Level 15 for two frames, 10 for one (the short form), then 5 held.
  const Programs s = add_programs(m, {0x0F, 2, 0x3C, 0x05, 0}, {0x00}, 0);
  const uint16_t a = m.next();
  m.add_looped({0x87, lo(s.volumes), hi(s.volumes), 0x86, lo(s.pitches), hi(s.pitches), 0x0D, 4, 0x00, 2}, 6);
  const uint16_t rest = m.add_looped({0x00, 6}, 0);
  m.channels(a, rest, rest);
  AySong song = play(m);
  // Each channel comes round every six frames; the first frame chose the
  // programs, so the seventh stands where the second stood.
  ASSERT_EQ(song.frames.size(), 7u);
  EXPECT_EQ(song.loop_frame, 1);
  const int levels[6] = {15, 15, 10, 5, 0, 0};
  for (int f = 0; f < 7; ++f) {
    EXPECT_EQ(level(song, f, 0), levels[f % 6]) << f;
    EXPECT_EQ(level(song, f, 1), 0);
  }
  EXPECT_EQ(tone(song, 0, 0), 0x7E0);       // an octave above the lowest note, 0xFBF
  EXPECT_EQ(reg(song, 0, 7) & 0x09, 0x08);  // tone, no noise
}

TEST(FxmPlayerTest, CallsLoopsAndTranspositionNest) {
  FxmModule m;
  const Programs s = add_programs(m, {0x0F, 0}, {0x00}, 0);
  const uint16_t sub = m.add({0x01, 1, 0x89});  // the lowest note, transposed
  const uint16_t a = m.add({0x87, lo(s.volumes), hi(s.volumes), 0x86, lo(s.pitches), hi(s.pitches),
                            0x8C, 0x00, 0x00,  // the tune's machine code is not run
                            0x88, 12, 0x82, 3, 0x81, lo(sub), hi(sub), 0x8E, 12, 0x83});
  m.add_looped({0x00, 1}, 0);
  const uint16_t rest = m.add_looped({0x00, 1}, 0);
  m.channels(a, rest, rest);
  AySong song = play(m);
  ASSERT_EQ(song.frames.size(), 5u);
  EXPECT_EQ(tone(song, 0, 0), 0x7E0);
  EXPECT_EQ(tone(song, 1, 0), 0x3F0);
  EXPECT_EQ(tone(song, 2, 0), 0x1F8);
  EXPECT_EQ(level(song, 2, 0), 15);
  EXPECT_EQ(level(song, 3, 0), 0);
  EXPECT_EQ(song.loop_frame, 4);
}

TEST(FxmPlayerTest, PitchProgramStepsPeriodOrNoteAndFlipsToNoise) {
  FxmModule m;
  // Semitone mode +12, period mode +2, the mixer flipped, then still.
  const Programs s = add_programs(m, {0x0F, 0}, {0x82, 12, 0x83, 2, 0x84, 0x00}, 5);
  const uint16_t a = m.add({0x84, 30, 0x8D, 5,  // noise 30, plus 5, in five bits
                            0x87, lo(s.volumes), hi(s.volumes), 0x86, lo(s.pitches), hi(s.pitches), 0x0D, 0});
  const uint16_t rest = m.add_looped({0x00, 1}, 0);
  m.channels(a, rest, rest);
  AySong song = play(m);
  ASSERT_GE(song.frames.size(), 5u);
  EXPECT_EQ(tone(song, 0, 0), 0x7E0);  // the first frame plays the note as it is
  EXPECT_EQ(tone(song, 1, 0), 0x3F0);
  EXPECT_EQ(tone(song, 2, 0), 0x3F2);
  EXPECT_EQ(tone(song, 3, 0), 0x3F2);
  EXPECT_EQ(reg(song, 2, 7) & 0x09, 0x08);
  EXPECT_EQ(reg(song, 3, 7) & 0x09, 0x01);  // noise instead of tone
  EXPECT_EQ(reg(song, 4, 7) & 0x09, 0x01);
  EXPECT_EQ(reg(song, 3, 6), 3);
}

TEST(FxmPlayerTest, LegatoCarriesTheVolumeProgramOverTheNotesAfterTheFirst) {
  FxmModule m;
  const Programs s = add_programs(m, {0x0F, 1, 0x0E, 1, 0x0D, 1, 0x0C, 0}, {0x00}, 0);
  const uint16_t a = m.add({0x87, lo(s.volumes), hi(s.volumes), 0x86, lo(s.pitches), hi(s.pitches), 0x8A,
                            0x0D, 1, 0x0D, 1, 0x0D, 1, 0x8B, 0x0D, 1, 0x0D, 0});
  const uint16_t rest = m.add_looped({0x00, 1}, 0);
  m.channels(a, rest, rest);
  AySong song = play(m);
  ASSERT_GE(song.frames.size(), 5u);
  const int levels[5] = {15, 14, 13, 15, 15};
  for (int f = 0; f < 5; ++f) EXPECT_EQ(level(song, f, 0), levels[f]) << f;
}

// A module whose channel A plays `program`; B and C rest.
FxmModule with_program(std::initializer_list<int> program) {
  FxmModule m;
  const uint16_t a = m.add(program);
  const uint16_t rest = m.add_looped({0x00, 1}, 0);
  m.channels(a, rest, rest);
  return m;
}

TEST(FxmPlayerTest, ProgramsThePlayerWouldCrashOrHangOnAreRefused) {
  const uint16_t a = kLoad + 6;
  const FxmModule broken[] = {
      with_program({0x81, lo(a), hi(a)}),  // calls itself deeper than the stack
      with_program({0x89}),                // returns from no call
      with_program({0x83}),                // ends no loop
      with_program({0x90, 0x00, 1}),       // no such command
      with_program({0x80, lo(a), hi(a)}),  // jumps round without a note
      with_program({0x80, 0x00, 0x10}),    // jumps outside the module
  };
  for (const FxmModule& m : broken) {
    const Bytes file = m.file();
    AySong song;
    std::string error;
    EXPECT_FALSE(kFxmFormat.parse(file.data(), file.size(), &song, &error));
    EXPECT_FALSE(error.empty());
  }
  // A channel that starts outside the block, or on no command, is not a module.
  FxmModule outside = with_program({0x00, 1});
  outside.channels(0x8000, kLoad + 6, kLoad + 6);
  const Bytes file = outside.file();
  EXPECT_FALSE(kFxmFormat.detect(file.data(), file.size()));
}

TEST(FxmPlayerTest, EveryCutOfAModuleIsRefused) {
  FxmModule m;
  const Programs s = add_programs(m, {0x0F, 2, 0x3C, 0x05, 0}, {0x82, 4, 0x83, 1, 0x84}, 0);
  const uint16_t a = m.next();
  m.add_looped({0x87, lo(s.volumes), hi(s.volumes), 0x86, lo(s.pitches), hi(s.pitches), 0x0D, 3, 0x00, 2}, 0);
  const uint16_t rest = m.add_looped({0x00, 5}, 0);
  m.channels(a, rest, rest);
  const Bytes good = m.file();
  AySong song;
  std::string error;
  ASSERT_TRUE(kFxmFormat.parse(good.data(), good.size(), &song, &error)) << error;
  for (size_t size = 0; size < good.size(); ++size) {
    const Bytes cut(good.begin(), good.begin() + static_cast<long>(size));
    EXPECT_FALSE(kFxmFormat.detect(cut.data(), cut.size()) && kFxmFormat.parse(cut.data(), cut.size(), &song, &error))
        << size;
  }
}

// The same data block in an AY file ("ZXAYAMAD"): the header's texts, the
// song record and its data record, then the block.
Bytes ay_file(const Bytes& fxsm, const std::string& name, const std::string& author) {
  auto relative = [](Bytes* out, size_t at, size_t target) {
    const auto offset = static_cast<uint16_t>(target - at);
    (*out)[at] = static_cast<uint8_t>(offset >> 8);
    (*out)[at + 1] = static_cast<uint8_t>(offset);
  };
  Bytes out = {'Z', 'X', 'A', 'Y', 'A', 'M', 'A', 'D'};
  out.resize(24);
  relative(&out, 18, 20);
  relative(&out, 20, out.size());
  out.insert(out.end(), name.begin(), name.end());
  out.push_back(0);
  relative(&out, 12, out.size());
  out.insert(out.end(), author.begin(), author.end());
  out.push_back(0);
  if (out.size() % 2) out.push_back(0);
  relative(&out, 22, out.size());
  out.insert(out.end(), {fxsm[5], fxsm[4], 0x1F, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  out.insert(out.end(), fxsm.begin() + 6, fxsm.end());
  return out;
}

TEST(FxmPlayerTest, AnAyFileOfTheBlockPlaysItWithItsTextsAndRefusesEveryCut) {
  FxmModule m;
  const Programs s = add_programs(m, {0x0F, 2, 0x3C, 0x05, 0}, {0x82, 4, 0x83, 1, 0x84}, 0);
  const uint16_t a = m.next();
  m.add_looped({0x87, lo(s.volumes), hi(s.volumes), 0x86, lo(s.pitches), hi(s.pitches), 0x0D, 3, 0x00, 2}, 0);
  const uint16_t rest = m.add_looped({0x00, 5}, 0);
  m.channels(a, rest, rest);
  const Bytes fxsm = m.file();
  const Bytes ay = ay_file(fxsm, "made name", "made author");
  AySong own, wrapped;
  std::string error;
  ASSERT_TRUE(kFxmFormat.parse(fxsm.data(), fxsm.size(), &own, &error)) << error;
  ASSERT_TRUE(tools::ay::kFxmAyFormat.detect(ay.data(), ay.size()));
  ASSERT_TRUE(tools::ay::kFxmAyFormat.parse(ay.data(), ay.size(), &wrapped, &error)) << error;
  EXPECT_EQ(wrapped.title, "made name");
  EXPECT_EQ(wrapped.author, "made author");
  EXPECT_EQ(wrapped.loop_frame, own.loop_frame);
  ASSERT_EQ(wrapped.frames.size(), own.frames.size());
  for (size_t f = 0; f < own.frames.size(); ++f) EXPECT_EQ(wrapped.frames[f][0].regs, own.frames[f][0].regs) << f;
  for (size_t size = 0; size < ay.size(); ++size) {
    const Bytes cut(ay.begin(), ay.begin() + static_cast<long>(size));
    EXPECT_FALSE(tools::ay::kFxmAyFormat.detect(cut.data(), cut.size()) &&
                 tools::ay::kFxmAyFormat.parse(cut.data(), cut.size(), &wrapped, &error))
        << size;
  }
}

}  // namespace
