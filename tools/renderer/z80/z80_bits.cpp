// The CB opcodes (rotations, shifts, BIT, RES, SET) and their DD CB d / FD
// CB d forms on (IX+d), which also copy the result into a register.
#include "tools/renderer/z80/z80_core.h"

namespace tools::z80 {
namespace {

// RLC RRC RL RR SLA SRA SLL SRL by opcode bits 3..5; SLL shifts a 1 in.
inline uint8_t rotate(Registers& r, int kind, uint8_t v) {
  unsigned res, carry;
  switch (kind) {
    case 0: res = (v << 1) | (v >> 7); carry = v >> 7; break;
    case 1: res = (v >> 1) | (v << 7); carry = v & 1; break;
    case 2: res = (v << 1) | (flags(r) & kFlagC); carry = v >> 7; break;
    case 3: res = (v >> 1) | ((flags(r) & kFlagC) << 7); carry = v & 1; break;
    case 4: res = v << 1; carry = v >> 7; break;
    case 5: res = (v >> 1) | (v & 0x80); carry = v & 1; break;
    case 6: res = (v << 1) | 1; carry = v >> 7; break;
    default: res = v >> 1; carry = v & 1; break;
  }
  res &= 0xFF;
  set_flags(r, kFlags.sz53p[res] | carry);
  return res;
}

// BIT n: bits 5 and 3 come from `xy`, which is the operand for a register,
// MEMPTR's high byte for (HL), the address's for (IX+d).
inline void test_bit(Registers& r, int n, uint8_t v, uint8_t xy) {
  const uint8_t bit = v & (1 << n);
  set_flags(r, (flags(r) & kFlagC) | kFlagH | (xy & kFlagsXY) |
                   (bit ? (bit & kFlagS) : (kFlagZ | kFlagPV)));
}

}  // namespace

void Cpu::execute_bits() {
  Registers& r = regs;
  advance_r(r);
  const uint8_t op = fetch8();
  const int n = op & 7, bit = (op >> 3) & 7;
  if (n == 6) {
    const uint8_t v = read8(r.hl);
    switch (op >> 6) {
      case 0: write8(r.hl, rotate(r, bit, v)); break;
      case 1: test_bit(r, bit, v, hi(r.memptr)); break;
      case 2: write8(r.hl, v & ~(1 << bit)); break;
      default: write8(r.hl, v | (1 << bit)); break;
    }
    cycles += (op >> 6) == 1 ? 8 : 11;
    return;
  }
  cycles += 4;
  uint8_t v = get8<Index::hl>(r, n);
  switch (op >> 6) {
    case 0: v = rotate(r, bit, v); break;
    case 1: test_bit(r, bit, v, v); return;
    case 2: v &= ~(1 << bit); break;
    default: v |= 1 << bit; break;
  }
  set8<Index::hl>(r, n, v);
}

// After DD CB d: the opcode byte is read as data (no M1, no R step). Every
// form works on (IX+d); all but BIT and those numbered (HL) also leave the
// result in a register.
void Cpu::execute_index_bits(uint16_t address) {
  Registers& r = regs;
  const uint8_t op = fetch8();
  const int n = op & 7, bit = (op >> 3) & 7;
  r.memptr = address;
  const uint8_t v = read8(address);
  uint8_t res;
  switch (op >> 6) {
    case 0: res = rotate(r, bit, v); break;
    case 1:
      test_bit(r, bit, v, hi(address));
      cycles += 16;
      return;
    case 2: res = v & ~(1 << bit); break;
    default: res = v | (1 << bit); break;
  }
  cycles += 19;
  write8(address, res);
  if (n != 6) set8<Index::hl>(r, n, res);
}

}  // namespace tools::z80
