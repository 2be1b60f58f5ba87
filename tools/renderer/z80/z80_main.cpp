// The instruction loop, the unprefixed opcodes and their DD/FD forms, where
// IX or IY (and their halves) take the place of HL and (HL) becomes (IX+d).
#include "tools/renderer/z80/z80_core.h"

namespace tools::z80 {
namespace {

// T-states by opcode: conditional jumps, calls and returns as when not
// taken (the taken ones add the rest), prefixes their own fetch only.
constexpr uint8_t kCycles[256] = {
    4, 10, 7,  6,  4,  4,  7,  4,  4,  11, 7,  6,  4,  4,  7,  4,   // 00
    8, 10, 7,  6,  4,  4,  7,  4,  12, 11, 7,  6,  4,  4,  7,  4,   // 10
    7, 10, 16, 6,  4,  4,  7,  4,  7,  11, 16, 6,  4,  4,  7,  4,   // 20
    7, 10, 13, 6,  11, 11, 10, 4,  7,  11, 13, 6,  4,  4,  7,  4,   // 30
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // 40
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // 50
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // 60
    7, 7,  7,  7,  7,  7,  4,  7,  4,  4,  4,  4,  4,  4,  7,  4,   // 70
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // 80
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // 90
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // A0
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // B0
    5, 10, 10, 10, 10, 11, 7,  11, 5,  10, 10, 4,  10, 17, 7,  11,  // C0
    5, 10, 10, 11, 10, 11, 7,  11, 5,  4,  10, 11, 10, 4,  7,  11,  // D0
    5, 10, 10, 19, 10, 11, 7,  11, 5,  4,  10, 4,  10, 4,  7,  11,  // E0
    5, 10, 10, 4,  10, 11, 7,  11, 5,  6,  10, 4,  10, 4,  7,  11,  // F0
};

// NZ Z NC C PO PE P M, by opcode bits 3..5.
inline bool condition(uint8_t f, int cc) {
  switch (cc) {
    case 0: return !(f & kFlagZ);
    case 1: return f & kFlagZ;
    case 2: return !(f & kFlagC);
    case 3: return f & kFlagC;
    case 4: return !(f & kFlagPV);
    case 5: return f & kFlagPV;
    case 6: return !(f & kFlagS);
    default: return f & kFlagS;
  }
}

}  // namespace

void Cpu::run_until(uint64_t limit) {
  while (cycles < limit) {
    if (regs.halted) {
      const uint64_t fetches = (limit - cycles + 3) / 4;
      cycles += 4 * fetches;
      advance_r(regs, fetches & 0x7F);
      return;
    }
    execute_one();
  }
}

void Cpu::step() {
  if (regs.halted) {
    cycles += 4;
    advance_r(regs);
    return;
  }
  execute_one();
}

inline void Cpu::execute_one() {
  hold_interrupts_ = false;
  advance_r(regs);
  execute<Index::hl>(fetch8());
}

template <Index X>
inline uint16_t Cpu::operand_address() {
  if constexpr (X == Index::hl) {
    return regs.hl;
  } else {
    const uint16_t address = index_pair<X>(regs) + int8_t(fetch8());
    regs.memptr = address;
    cycles += 8;
    return address;
  }
}

// The prefix's fetch is counted; a second prefix ends it, as a 4 T-state
// instruction of its own that holds off interrupts like the first.
template <Index X>
void Cpu::execute_prefixed() {
  const uint8_t op = read8(regs.pc);
  if (op == 0xDD || op == 0xFD || op == 0xED) {
    hold_interrupts_ = true;
    return;
  }
  ++regs.pc;
  advance_r(regs);
  if (op == 0xCB) {
    execute_index_bits(index_pair<X>(regs) + int8_t(fetch8()));
    return;
  }
  execute<X>(op);
}

#define Z80_LD(op, d, s) \
  case op: set8<X>(r, d, get8<X>(r, s)); break;
#define Z80_LD_ROW(base, d)                                                                       \
  Z80_LD(base, d, 0) Z80_LD(base + 1, d, 1) Z80_LD(base + 2, d, 2) Z80_LD(base + 3, d, 3)       \
  Z80_LD(base + 4, d, 4) Z80_LD(base + 5, d, 5) Z80_LD(base + 7, d, 7)                          \
  case base + 6: set8<Index::hl>(r, d, read8(operand_address<X>())); break;
#define Z80_STORE(op, s) \
  case op: { const uint16_t address = operand_address<X>(); write8(address, get8<Index::hl>(r, s)); break; }
#define Z80_ALU(op, kind, s) \
  case op: alu(r, kind, get8<X>(r, s)); break;
#define Z80_ALU_ROW(base, kind)                                                                   \
  Z80_ALU(base, kind, 0) Z80_ALU(base + 1, kind, 1) Z80_ALU(base + 2, kind, 2)                  \
  Z80_ALU(base + 3, kind, 3) Z80_ALU(base + 4, kind, 4) Z80_ALU(base + 5, kind, 5)              \
  Z80_ALU(base + 7, kind, 7)                                                                      \
  case base + 6: alu(r, kind, read8(operand_address<X>())); break;
#define Z80_INC_DEC(inc_op, n)                                     \
  case inc_op: set8<X>(r, n, inc8(r, get8<X>(r, n))); break;      \
  case inc_op + 1: set8<X>(r, n, dec8(r, get8<X>(r, n))); break;  \
  case inc_op + 2: set8<X>(r, n, fetch8()); break;

template <Index X>
void Cpu::execute(uint8_t op) {
  Registers& r = regs;
  uint16_t& hlx = index_pair<X>(r);
  cycles += kCycles[op];
  switch (op) {
    case 0x00: break;
    case 0x01: r.bc = fetch16(); break;
    case 0x11: r.de = fetch16(); break;
    case 0x21: hlx = fetch16(); break;
    case 0x31: r.sp = fetch16(); break;
    case 0x02:
      write8(r.bc, hi(r.af));
      r.memptr = ((r.bc + 1) & 0xFF) | (r.af & 0xFF00);
      break;
    case 0x12:
      write8(r.de, hi(r.af));
      r.memptr = ((r.de + 1) & 0xFF) | (r.af & 0xFF00);
      break;
    case 0x0A:
      set_hi(r.af, read8(r.bc));
      r.memptr = r.bc + 1;
      break;
    case 0x1A:
      set_hi(r.af, read8(r.de));
      r.memptr = r.de + 1;
      break;
    case 0x22: {
      const uint16_t address = fetch16();
      write16(address, hlx);
      r.memptr = address + 1;
      break;
    }
    case 0x2A: {
      const uint16_t address = fetch16();
      hlx = read16(address);
      r.memptr = address + 1;
      break;
    }
    case 0x32: {
      const uint16_t address = fetch16();
      write8(address, hi(r.af));
      r.memptr = ((address + 1) & 0xFF) | (r.af & 0xFF00);
      break;
    }
    case 0x3A: {
      const uint16_t address = fetch16();
      set_hi(r.af, read8(address));
      r.memptr = address + 1;
      break;
    }
    case 0x03: ++r.bc; break;
    case 0x13: ++r.de; break;
    case 0x23: ++hlx; break;
    case 0x33: ++r.sp; break;
    case 0x0B: --r.bc; break;
    case 0x1B: --r.de; break;
    case 0x2B: --hlx; break;
    case 0x3B: --r.sp; break;
    case 0x09: hlx = add16(r, hlx, r.bc); break;
    case 0x19: hlx = add16(r, hlx, r.de); break;
    case 0x29: hlx = add16(r, hlx, hlx); break;
    case 0x39: hlx = add16(r, hlx, r.sp); break;
    Z80_INC_DEC(0x04, 0)
    Z80_INC_DEC(0x0C, 1)
    Z80_INC_DEC(0x14, 2)
    Z80_INC_DEC(0x1C, 3)
    Z80_INC_DEC(0x24, 4)
    Z80_INC_DEC(0x2C, 5)
    Z80_INC_DEC(0x3C, 7)
    case 0x34: {
      const uint16_t address = operand_address<X>();
      write8(address, inc8(r, read8(address)));
      break;
    }
    case 0x35: {
      const uint16_t address = operand_address<X>();
      write8(address, dec8(r, read8(address)));
      break;
    }
    case 0x36: {
      uint16_t address = r.hl;
      if constexpr (X != Index::hl) {
        address = hlx + int8_t(fetch8());
        r.memptr = address;
        cycles += 5;
      }
      write8(address, fetch8());
      break;
    }
    case 0x07: {
      const uint8_t f = flags(r), a = hi(r.af);
      const uint8_t res = (a << 1) | (a >> 7);
      r.af = (res << 8) | (f & (kFlagS | kFlagZ | kFlagPV)) | (res & (kFlagsXY | kFlagC));
      break;
    }
    case 0x0F: {
      const uint8_t f = flags(r), a = hi(r.af);
      const uint8_t res = (a >> 1) | (a << 7);
      r.af = (res << 8) | (f & (kFlagS | kFlagZ | kFlagPV)) | (res & kFlagsXY) | (a & kFlagC);
      break;
    }
    case 0x17: {
      const uint8_t f = flags(r), a = hi(r.af);
      const uint8_t res = (a << 1) | (f & kFlagC);
      r.af = (res << 8) | (f & (kFlagS | kFlagZ | kFlagPV)) | (res & kFlagsXY) | (a >> 7);
      break;
    }
    case 0x1F: {
      const uint8_t f = flags(r), a = hi(r.af);
      const uint8_t res = (a >> 1) | (f << 7);
      r.af = (res << 8) | (f & (kFlagS | kFlagZ | kFlagPV)) | (res & kFlagsXY) | (a & kFlagC);
      break;
    }
    case 0x08: {
      const uint16_t t = r.af;
      r.af = r.af2;
      r.af2 = t;
      break;
    }
    case 0x10: {
      const int8_t d = fetch8();
      const uint8_t b = hi(r.bc) - 1;
      set_hi(r.bc, b);
      if (b) {
        r.pc += d;
        r.memptr = r.pc;
        cycles += 5;
      }
      break;
    }
    case 0x18: {
      const int8_t d = fetch8();
      r.pc += d;
      r.memptr = r.pc;
      break;
    }
    case 0x20:
    case 0x28:
    case 0x30:
    case 0x38: {
      const int8_t d = fetch8();
      if (condition(flags(r), (op >> 3) & 3)) {
        r.pc += d;
        r.memptr = r.pc;
        cycles += 5;
      }
      break;
    }
    case 0x27: {
      const uint8_t f = flags(r), a = hi(r.af);
      uint8_t diff = 0, carry = f & kFlagC;
      if ((f & kFlagH) || (a & 0x0F) > 9) diff = 0x06;
      if (carry || a > 0x99) {
        diff |= 0x60;
        carry = kFlagC;
      }
      uint8_t res, half;
      if (f & kFlagN) {
        res = a - diff;
        half = (f & kFlagH) && (a & 0x0F) < 6 ? kFlagH : 0;
      } else {
        res = a + diff;
        half = (a & 0x0F) > 9 ? kFlagH : 0;
      }
      r.af = (res << 8) | kFlags.sz53p[res] | carry | (f & kFlagN) | half;
      break;
    }
    case 0x2F: {
      const uint8_t f = flags(r), res = ~hi(r.af);
      r.af = (res << 8) | (f & (kFlagS | kFlagZ | kFlagPV | kFlagC)) | kFlagH | kFlagN |
             (res & kFlagsXY);
      break;
    }
    // SCF and CCF: bits 5 and 3 come from A or-ed with the flags before.
    case 0x37: {
      const uint8_t f = flags(r);
      set_flags(r, (f & (kFlagS | kFlagZ | kFlagPV)) | ((hi(r.af) | f) & kFlagsXY) | kFlagC);
      break;
    }
    case 0x3F: {
      const uint8_t f = flags(r);
      set_flags(r, (f & (kFlagS | kFlagZ | kFlagPV)) | ((hi(r.af) | f) & kFlagsXY) |
                       ((f & kFlagC) ? kFlagH : kFlagC));
      break;
    }
    Z80_LD_ROW(0x40, 0)
    Z80_LD_ROW(0x48, 1)
    Z80_LD_ROW(0x50, 2)
    Z80_LD_ROW(0x58, 3)
    Z80_LD_ROW(0x60, 4)
    Z80_LD_ROW(0x68, 5)
    Z80_LD_ROW(0x78, 7)
    Z80_STORE(0x70, 0)
    Z80_STORE(0x71, 1)
    Z80_STORE(0x72, 2)
    Z80_STORE(0x73, 3)
    Z80_STORE(0x74, 4)
    Z80_STORE(0x75, 5)
    Z80_STORE(0x77, 7)
    case 0x76:
      // The CPU repeats the HALT's fetch until an interrupt; pc stays on it.
      r.halted = true;
      --r.pc;
      break;
    Z80_ALU_ROW(0x80, 0)
    Z80_ALU_ROW(0x88, 1)
    Z80_ALU_ROW(0x90, 2)
    Z80_ALU_ROW(0x98, 3)
    Z80_ALU_ROW(0xA0, 4)
    Z80_ALU_ROW(0xA8, 5)
    Z80_ALU_ROW(0xB0, 6)
    Z80_ALU_ROW(0xB8, 7)
    case 0xC0:
    case 0xC8:
    case 0xD0:
    case 0xD8:
    case 0xE0:
    case 0xE8:
    case 0xF0:
    case 0xF8:
      if (condition(flags(r), (op >> 3) & 7)) {
        r.pc = pop();
        r.memptr = r.pc;
        cycles += 6;
      }
      break;
    case 0xC9:
      r.pc = pop();
      r.memptr = r.pc;
      break;
    case 0xC1: r.bc = pop(); break;
    case 0xD1: r.de = pop(); break;
    case 0xE1: hlx = pop(); break;
    case 0xF1: r.af = pop(); break;
    case 0xC5: push(r.bc); break;
    case 0xD5: push(r.de); break;
    case 0xE5: push(hlx); break;
    case 0xF5: push(r.af); break;
    case 0xC2:
    case 0xCA:
    case 0xD2:
    case 0xDA:
    case 0xE2:
    case 0xEA:
    case 0xF2:
    case 0xFA:
      r.memptr = fetch16();
      if (condition(flags(r), (op >> 3) & 7)) r.pc = r.memptr;
      break;
    case 0xC3: r.pc = r.memptr = fetch16(); break;
    case 0xC4:
    case 0xCC:
    case 0xD4:
    case 0xDC:
    case 0xE4:
    case 0xEC:
    case 0xF4:
    case 0xFC:
      r.memptr = fetch16();
      if (condition(flags(r), (op >> 3) & 7)) {
        push(r.pc);
        r.pc = r.memptr;
        cycles += 7;
      }
      break;
    case 0xCD:
      r.memptr = fetch16();
      push(r.pc);
      r.pc = r.memptr;
      break;
    case 0xC6:
    case 0xCE:
    case 0xD6:
    case 0xDE:
    case 0xE6:
    case 0xEE:
    case 0xF6:
    case 0xFE: alu(r, (op >> 3) & 7, fetch8()); break;
    case 0xC7:
    case 0xCF:
    case 0xD7:
    case 0xDF:
    case 0xE7:
    case 0xEF:
    case 0xF7:
    case 0xFF:
      push(r.pc);
      r.pc = r.memptr = op & 0x38;
      break;
    case 0xD3: {
      // The write is the last M-cycle's second T-state.
      const uint8_t n = fetch8(), a = hi(r.af);
      ports_.out((a << 8) | n, a, cycles - 3);
      r.memptr = ((n + 1) & 0xFF) | (a << 8);
      break;
    }
    case 0xDB: {
      const uint16_t port = (r.af & 0xFF00) | fetch8();
      set_hi(r.af, ports_.in(port, cycles - 3));
      r.memptr = port + 1;
      break;
    }
    case 0xD9: {
      uint16_t t = r.bc;
      r.bc = r.bc2;
      r.bc2 = t;
      t = r.de;
      r.de = r.de2;
      r.de2 = t;
      t = r.hl;
      r.hl = r.hl2;
      r.hl2 = t;
      break;
    }
    case 0xE3: {
      const uint16_t v = read16(r.sp);
      write16(r.sp, hlx);
      hlx = r.memptr = v;
      break;
    }
    case 0xE9: r.pc = hlx; break;
    case 0xEB: {
      const uint16_t t = r.de;
      r.de = r.hl;
      r.hl = t;
      break;
    }
    case 0xF9: r.sp = hlx; break;
    case 0xF3: r.iff1 = r.iff2 = false; break;
    case 0xFB:
      r.iff1 = r.iff2 = true;
      hold_interrupts_ = true;
      break;
    case 0xCB: execute_bits(); break;
    case 0xED: execute_extended(); break;
    case 0xDD:
      if constexpr (X == Index::hl) execute_prefixed<Index::ix>();
      break;
    case 0xFD:
      if constexpr (X == Index::hl) execute_prefixed<Index::iy>();
      break;
  }
}

template void Cpu::execute<Index::hl>(uint8_t op);

}  // namespace tools::z80
