// Sound Tracker's editor songs (ST1), the AY file that may hold one, the
// KSA compiler's layout (ST3) and Flash Tracker's (FLS), made byte by byte
// for the tests and the fuzzer's seeds.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace st_forms_test {

using Bytes = std::vector<uint8_t>;

// The editor's memory: 15 samples, positions, ornaments, delay, rows, patterns.
struct St1 {
  Bytes bytes = Bytes(3009, 0);
  St1(int delay, int rows);
  uint8_t* sample(int number) { return bytes.data() + 130 * (number - 1); }
  void position(int index, int pattern, int transposition);  // the last one set ends the list
  void patterns(int count) { bytes.resize(3009 + 576 * count, 0); }
  uint8_t* cell(int pattern, int row, int channel) {
    return bytes.data() + 3009 + 576 * (pattern - 1) + 9 * row + 3 * channel;
  }
};

// Name bits 4-6 (A, B flat, B, C, D, E, F, G), bit 3 sharp, octave from C.
uint8_t st1_note(int name, bool sharp, int octave);

// An AY file of type ST11 named "AY SONG NAME" by "AY AUTHOR" around `module`.
Bytes in_ay_file(const Bytes& module);

// One sample (repeat lines 2..3; line 0 noise only, line 1 0x21 down,
// line 2 0x13 up), one empty ornament; `track` plays channel A of every
// pattern; `credit` puts the compiler's stamp before the samples.
Bytes make_st3(const std::vector<std::pair<int, int>>& positions, const Bytes& track, bool credit);

// A Flash Tracker module as the real ones lie: header, pattern table,
// ornament list, sample list, positions, tracks, ornaments, sample lines,
// every address for a load at `base`.
struct Fls {
  int base = 0xC000;
  int delay = 2;
  std::vector<int> positions = {1};        // pattern numbers, from 1
  std::vector<std::array<Bytes, 3>> patterns;  // patterns 1..
  // Samples 0..: 32 lines of Sound Tracker's three bytes, the repeat's
  // first line and its length less one.
  std::vector<std::array<uint8_t, 98>> samples;
  std::vector<std::array<uint8_t, 32>> ornaments;  // ornaments 1..
};
Bytes make_fls(const Fls& module);

// One Flash Tracker sample: volume 15, tone only, repeat lines 2..3; line 1
// takes 0x21 off the period, line 2 adds 0x13.
std::array<uint8_t, 98> fls_sample();

}  // namespace st_forms_test
