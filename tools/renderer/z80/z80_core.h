// What the CPU's source files share: the flag bits, the flag tables, the
// register accessors and the arithmetic that sets flags.
#pragma once

#include <cstdint>

#include "tools/renderer/z80/z80_cpu.h"

namespace tools::z80 {

constexpr uint8_t kFlagC = 0x01;
constexpr uint8_t kFlagN = 0x02;
constexpr uint8_t kFlagPV = 0x04;
constexpr uint8_t kFlagX = 0x08;  // bit 3, a copy of some result bit
constexpr uint8_t kFlagH = 0x10;
constexpr uint8_t kFlagY = 0x20;  // bit 5, likewise
constexpr uint8_t kFlagZ = 0x40;
constexpr uint8_t kFlagS = 0x80;
constexpr uint8_t kFlagsXY = kFlagX | kFlagY;

// S, Z, bits 5 and 3 of each byte value, and with even parity in PV.
struct FlagTables {
  uint8_t sz53[256];
  uint8_t sz53p[256];
};

constexpr FlagTables make_flag_tables() {
  FlagTables t{};
  for (int v = 0; v < 256; ++v) {
    uint8_t f = (v & (kFlagS | kFlagsXY)) | (v == 0 ? kFlagZ : 0);
    int ones = 0;
    for (int b = 0; b < 8; ++b) ones += (v >> b) & 1;
    t.sz53[v] = f;
    t.sz53p[v] = f | ((ones & 1) ? 0 : kFlagPV);
  }
  return t;
}

inline constexpr FlagTables kFlags = make_flag_tables();

inline uint8_t hi(uint16_t pair) { return pair >> 8; }
inline uint8_t lo(uint16_t pair) { return pair & 0xFF; }
inline void set_hi(uint16_t& pair, uint8_t v) { pair = (pair & 0x00FF) | (v << 8); }
inline void set_lo(uint16_t& pair, uint8_t v) { pair = (pair & 0xFF00) | v; }
inline uint8_t flags(const Registers& r) { return r.af & 0xFF; }
inline void set_flags(Registers& r, uint8_t f) { set_lo(r.af, f); }

inline void advance_r(Registers& r, unsigned fetches = 1) {
  r.r = (r.r & 0x80) | ((r.r + fetches) & 0x7F);
}

template <Index X>
inline uint16_t& index_pair(Registers& r) {
  if constexpr (X == Index::ix) return r.ix;
  else if constexpr (X == Index::iy) return r.iy;
  else return r.hl;
}

// Registers by the opcodes' three-bit number: B C D E H L - A (6 is the
// memory operand). Under a prefix H and L are the index register's halves.
template <Index X>
inline uint8_t get8(Registers& r, int n) {
  switch (n) {
    case 0: return hi(r.bc);
    case 1: return lo(r.bc);
    case 2: return hi(r.de);
    case 3: return lo(r.de);
    case 4: return hi(index_pair<X>(r));
    case 5: return lo(index_pair<X>(r));
    default: return hi(r.af);
  }
}

template <Index X>
inline void set8(Registers& r, int n, uint8_t v) {
  switch (n) {
    case 0: set_hi(r.bc, v); break;
    case 1: set_lo(r.bc, v); break;
    case 2: set_hi(r.de, v); break;
    case 3: set_lo(r.de, v); break;
    case 4: set_hi(index_pair<X>(r), v); break;
    case 5: set_lo(index_pair<X>(r), v); break;
    default: set_hi(r.af, v); break;
  }
}

// The eight accumulator operations by their opcode bits 3..5: ADD ADC SUB
// SBC AND XOR OR CP. CP takes bits 5 and 3 from the operand, not the result.
inline void alu(Registers& r, int op, uint8_t v) {
  const unsigned a = hi(r.af);
  const unsigned carry = r.af & kFlagC;
  unsigned res;
  uint8_t f;
  switch (op) {
    case 0:
    case 1:
      res = a + v + (op == 1 ? carry : 0);
      f = kFlags.sz53[res & 0xFF] | ((a ^ v ^ res) & kFlagH) | (res >> 8) |
          (((a ^ ~v) & (a ^ res) & 0x80) >> 5);
      break;
    case 2:
    case 3:
    case 7:
      res = a - v - (op == 3 ? carry : 0);
      f = kFlags.sz53[res & 0xFF] | kFlagN | ((a ^ v ^ res) & kFlagH) | ((res >> 8) & kFlagC) |
          (((a ^ v) & (a ^ res) & 0x80) >> 5);
      if (op == 7) {
        r.af = (a << 8) | (f & ~kFlagsXY) | (v & kFlagsXY);
        return;
      }
      break;
    case 4:
      res = a & v;
      f = kFlags.sz53p[res] | kFlagH;
      break;
    case 5:
      res = a ^ v;
      f = kFlags.sz53p[res];
      break;
    default:
      res = a | v;
      f = kFlags.sz53p[res];
      break;
  }
  r.af = ((res & 0xFF) << 8) | f;
}

inline uint8_t inc8(Registers& r, uint8_t v) {
  const uint8_t res = v + 1;
  set_flags(r, (flags(r) & kFlagC) | kFlags.sz53[res] | (res == 0x80 ? kFlagPV : 0) |
                   ((res & 0x0F) == 0 ? kFlagH : 0));
  return res;
}

inline uint8_t dec8(Registers& r, uint8_t v) {
  const uint8_t res = v - 1;
  set_flags(r, (flags(r) & kFlagC) | kFlagN | kFlags.sz53[res] | (res == 0x7F ? kFlagPV : 0) |
                   ((res & 0x0F) == 0x0F ? kFlagH : 0));
  return res;
}

// ADD HL,rr (and IX, IY): S, Z and PV stay; H and C from bits 11 and 15,
// bits 5 and 3 from the result's high byte.
inline uint16_t add16(Registers& r, uint16_t a, uint16_t b) {
  const uint32_t res = uint32_t(a) + b;
  set_flags(r, (flags(r) & (kFlagS | kFlagZ | kFlagPV)) | ((res >> 8) & kFlagsXY) |
                   (((a ^ b ^ res) >> 8) & kFlagH) | (res >> 16));
  r.memptr = a + 1;
  return res;
}

}  // namespace tools::z80
