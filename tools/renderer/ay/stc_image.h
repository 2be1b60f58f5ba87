// Sound Tracker's other forms (the editor's own song, the alternative
// compiler's layout, Flash Tracker's) hold the same samples, ornaments and
// track commands as a compiled Sound Tracker module, laid out otherwise.
// Their players lay the parts out again as the compiler does and let the
// Sound Tracker player play the result, so they hold only their layouts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay::stc {

// A sample as the compiler stores it: 32 lines of three bytes (volume and
// the offset's high bits; the noise period with the masks, bit 7 noise off,
// bit 6 tone off, bit 5 the offset added rather than taken away; the
// offset's low byte), then the repeat's first line (from 1; 0 for none) and
// its length less one.
using SampleBody = std::array<uint8_t, 98>;
// 32 note offsets, two's complement.
using OrnamentBody = std::array<uint8_t, 32>;

struct Image {
  uint8_t delay = 1;
  std::vector<std::pair<uint8_t, SampleBody>> samples;  // number 0..15, body
  std::vector<std::pair<uint8_t, OrnamentBody>> ornaments;
  std::vector<std::pair<uint8_t, int8_t>> positions;  // pattern number, transposition
  // Pattern number and the three tracks in Sound Tracker's command bytes,
  // each ending with 0xFF.
  struct Pattern {
    uint8_t number = 1;
    std::array<std::vector<uint8_t>, 3> tracks;
  };
  std::vector<Pattern> patterns;
};

// One sample line from its parts; `offset` is added to the note's period
// (-4095..4095).
void set_line(SampleBody* body, int line, int volume, bool tone, bool noise, int noise_period, int offset);

// Lays `image` out as the compiler does and plays it through the Sound
// Tracker player into `song` (its `program` left to the caller). False, with
// the reason, when the layout does not fit a module or does not play.
bool play(const Image& image, AySong* song, std::string* error);

}  // namespace tools::ay::stc
