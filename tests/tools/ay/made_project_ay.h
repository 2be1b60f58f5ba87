// Project AY files the tests write themselves, with small players
// assembled by hand: the header, the songs and their points, the blocks,
// and the texts last, so that every cut of the file loses a text's end.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tools_test {

using Bytes = std::vector<uint8_t>;

struct MadeAySong {
  std::string name;
  uint16_t length_frames = 0;  // 1/50 s
  uint16_t fade_frames = 0;
  uint8_t hi_reg = 0, lo_reg = 0;
  uint16_t stack = 0xF000, init = 0, interrupt = 0;
  std::vector<std::pair<uint16_t, Bytes>> blocks;  // address, bytes
};

struct MadeAyFile {
  uint8_t file_version = 0, player_version = 3;
  std::string author, misc;
  std::vector<MadeAySong> songs;
};

Bytes make_project_ay(const MadeAyFile& made);

// Z80 code, appended to `code`.
namespace z80 {
// The Spectrum's AY: register `reg` := `value` through FFFDh and BFFDh
// (BC is left at BFFDh, A at the value).
void spectrum_ay(Bytes* code, uint8_t reg, uint8_t value);
// The CPC's AY through the PPI: the register number on port A, latched by
// BDIR/BC1 = 11 on port C, the value on port A, written by 10, then idle.
void cpc_ay(Bytes* code, uint8_t reg, uint8_t value);
// A delay of exactly 26 * count + 5 T-states (count >= 1): DE counted down.
void delay(Bytes* code, uint16_t count);
void ret(Bytes* code);
}  // namespace z80

}  // namespace tools_test
