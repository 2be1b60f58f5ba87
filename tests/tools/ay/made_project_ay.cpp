#include "tests/tools/ay/made_project_ay.h"

namespace tools_test {
namespace {

void put_word(Bytes* out, size_t at, uint16_t value) {
  (*out)[at] = static_cast<uint8_t>(value >> 8);
  (*out)[at + 1] = static_cast<uint8_t>(value);
}

// A relative pointer at `at` to `target`.
void point(Bytes* out, size_t at, size_t target) {
  put_word(out, at, static_cast<uint16_t>(static_cast<int16_t>(static_cast<long>(target) - static_cast<long>(at))));
}

void append(Bytes* code, std::initializer_list<uint8_t> bytes) { code->insert(code->end(), bytes); }

}  // namespace

Bytes make_project_ay(const MadeAyFile& made) {
  const size_t songs = made.songs.size();
  Bytes out(20 + 4 * songs + 14 * songs + 6 * songs, 0);
  const char signature[] = "ZXAYEMUL";
  std::copy(signature, signature + 8, out.begin());
  out[8] = made.file_version;
  out[9] = made.player_version;
  out[16] = static_cast<uint8_t>(songs - 1);
  out[17] = 0;
  point(&out, 18, 20);
  const size_t records = 20, data = records + 4 * songs, points = data + 14 * songs;
  // Block lists, then the blocks' bytes.
  std::vector<size_t> lists;
  for (const MadeAySong& song : made.songs) {
    lists.push_back(out.size());
    out.resize(out.size() + 6 * song.blocks.size() + 2, 0);
  }
  for (size_t s = 0; s < songs; ++s) {
    const MadeAySong& song = made.songs[s];
    for (size_t b = 0; b < song.blocks.size(); ++b) {
      const size_t record = lists[s] + 6 * b;
      put_word(&out, record, song.blocks[b].first);
      put_word(&out, record + 2, static_cast<uint16_t>(song.blocks[b].second.size()));
      point(&out, record + 4, out.size());
      out.insert(out.end(), song.blocks[b].second.begin(), song.blocks[b].second.end());
    }
  }
  for (size_t s = 0; s < songs; ++s) {
    const MadeAySong& song = made.songs[s];
    const size_t d = data + 14 * s, p = points + 6 * s;
    for (int c = 0; c < 4; ++c) out[d + c] = static_cast<uint8_t>(c);
    put_word(&out, d + 4, song.length_frames);
    put_word(&out, d + 6, song.fade_frames);
    out[d + 8] = song.hi_reg;
    out[d + 9] = song.lo_reg;
    point(&out, d + 10, p);
    point(&out, d + 12, lists[s]);
    put_word(&out, p, song.stack);
    put_word(&out, p + 2, song.init);
    put_word(&out, p + 4, song.interrupt);
    point(&out, records + 4 * s + 2, d);
  }
  // The texts at the end, each with its NUL.
  auto text = [&out](size_t pointer, const std::string& value) {
    point(&out, pointer, out.size());
    out.insert(out.end(), value.begin(), value.end());
    out.push_back(0);
  };
  text(12, made.author);
  text(14, made.misc);
  for (size_t s = 0; s < songs; ++s) text(records + 4 * s, made.songs[s].name);
  return out;
}

namespace z80 {

void spectrum_ay(Bytes* code, uint8_t reg, uint8_t value) {
  append(code, {0x01, 0xFD, 0xFF,  // LD BC,FFFDh
                0x3E, reg,         // LD A,reg
                0xED, 0x79,        // OUT (C),A
                0x06, 0xBF,        // LD B,BFh
                0x3E, value,       // LD A,value
                0xED, 0x79});      // OUT (C),A
}

void cpc_ay(Bytes* code, uint8_t reg, uint8_t value) {
  append(code, {0x06, 0xF4, 0x0E, reg, 0xED, 0x49,     // port A := register
                0x06, 0xF6, 0x0E, 0xC0, 0xED, 0x49,    // latch the address
                0x0E, 0x00, 0xED, 0x49,                // idle
                0x06, 0xF4, 0x0E, value, 0xED, 0x49,   // port A := value
                0x06, 0xF6, 0x0E, 0x80, 0xED, 0x49,    // write
                0x0E, 0x00, 0xED, 0x49});              // idle
}

void delay(Bytes* code, uint16_t count) {
  // LD DE,count (10); loop: DEC DE (6); LD A,D (4); OR E (4); JR NZ,loop
  // (12, 7 when done): 10 + 26 count - 5 in all.
  append(code, {0x11, static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8), 0x1B, 0x7A, 0xB3, 0x20, 0xFB});
}

void ret(Bytes* code) { code->push_back(0xC9); }

}  // namespace z80

}  // namespace tools_test
