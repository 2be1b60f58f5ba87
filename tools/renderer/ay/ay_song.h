// What every AY/YM format turns into before a chip plays it: the register
// writes of one to three sound chips, one set per player frame. Parsers of
// register dumps copy them; tracker players compute them by playing the
// module through once. The chip engine never sees a file format, so a new
// format is a parser and nothing else.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tools::ay {

enum class ChipType { ay, ym };  // AY-3-8910 (16 levels) or YM2149F (32)
enum class StereoLayout { abc, acb, bac, mono };

// Registers R0..R13 of one chip at one frame. Writing R13 restarts the
// envelope even when the value does not change, so whether the frame wrote
// it is part of the frame.
struct ChipFrame {
  std::array<uint8_t, 14> regs{};
  bool shape_written = false;
};

// One player frame: the first chip, then the second of a TurboSound song
// and the third of a song for three chips (those a song lacks stay zero).
constexpr int kMaxChips = 3;
using Frame = std::array<ChipFrame, kMaxChips>;

// The Atari ST effects that YM5 and YM6 dumps keep beside the registers:
// a timer of the ST's MFP rewrote one register many times per frame.
struct TimerEffect {
  enum class Kind : uint8_t {
    none,
    sid,          // the voice's volume flips between `value` and 0
    digidrum,     // drum number `value` starts on the voice, one 4-bit level per tick
    sync_buzzer,  // R13 is written with shape `value` at every tick
  };
  Kind kind = Kind::none;
  uint8_t voice = 0;  // 0..2
  uint8_t value = 0;
  double hz = 0;      // the timer's rate
};
using FrameEffects = std::array<TimerEffect, 2>;

struct AySong {
  ChipType chip = ChipType::ay;
  StereoLayout layout = StereoLayout::abc;
  double clock_hz = 1773400;  // ZX Spectrum; CPC 1,000,000; Atari ST 2,000,000
  double frame_hz = 50;
  int chips = 1;              // 2 for TurboSound, up to kMaxChips
  std::vector<Frame> frames;  // one pass through the song
  long loop_frame = -1;       // where the song jumps back after its last frame; -1: it ends
  std::vector<FrameEffects> effects;            // empty, or one pair per frame
  std::vector<std::vector<uint8_t>> digidrums;  // samples as fixed volumes 0..15
  // Raw bytes as the file holds them (any code page); the backend converts.
  std::string title;
  std::string author;
  std::string program;  // the tracker or the game
  std::string year;
  std::string comment;
};

class SongList;

// A file format. `detect` looks at the content only and must be strict
// enough that a file of another format, or random bytes, is not taken;
// `parse` fills `song` or returns false with a one-line reason. Neither may
// read outside [data, data + size), loop forever or allocate without bound:
// a song is capped at max_frames(frame_hz). A format whose songs are
// programs that a machine runs has no `parse` but `open_songs`, which
// returns its songs (null, with the reason, when it cannot play them).
struct Format {
  const char* name;  // for messages: "Pro Tracker 3"
  bool (*detect)(const uint8_t* data, size_t size);
  bool (*parse)(const uint8_t* data, size_t size, AySong* song, std::string* error);
  std::unique_ptr<SongList> (*open_songs)(const uint8_t* data, size_t size, std::string* error) = nullptr;
};

// 20 minutes at 50 Hz: no render is longer.
constexpr size_t kMaxFrames = 20 * 60 * 50;

// The same 20 minutes at a player rate of `frame_hz` (players that run
// faster than 50 Hz, up to the 1 kHz a song may state, get more frames).
inline size_t max_frames(double frame_hz) {
  if (!(frame_hz > 50)) return kMaxFrames;
  return static_cast<size_t>(static_cast<double>(kMaxFrames) * (frame_hz < 1000 ? frame_hz : 1000) / 50);
}

// Every format, strictest checks first.
const std::vector<Format>& formats();

}  // namespace tools::ay
