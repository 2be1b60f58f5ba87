// The ED opcodes: 16-bit arithmetic with carry, port I/O through C, the
// interrupt controls, RRD/RLD and the block instructions. Opcodes without
// a use are 8 T-state no-operations.
#include "tools/renderer/z80/z80_core.h"

namespace tools::z80 {
namespace {

// BC DE HL SP by opcode bits 4..5.
inline uint16_t& pair(Registers& r, int p) {
  switch (p) {
    case 0: return r.bc;
    case 1: return r.de;
    case 2: return r.hl;
    default: return r.sp;
  }
}

inline void adc16(Registers& r, uint16_t v) {
  const uint16_t a = r.hl;
  const uint32_t res = uint32_t(a) + v + (flags(r) & kFlagC);
  set_flags(r, ((res >> 16) & kFlagC) | ((res >> 8) & (kFlagS | kFlagsXY)) |
                   ((res & 0xFFFF) ? 0 : kFlagZ) | (((a ^ v ^ res) >> 8) & kFlagH) |
                   ((~(a ^ v) & (a ^ res) & 0x8000) >> 13));
  r.memptr = a + 1;
  r.hl = res;
}

inline void sbc16(Registers& r, uint16_t v) {
  const uint16_t a = r.hl;
  const uint32_t res = uint32_t(a) - v - (flags(r) & kFlagC);
  set_flags(r, ((res >> 16) & kFlagC) | kFlagN | ((res >> 8) & (kFlagS | kFlagsXY)) |
                   ((res & 0xFFFF) ? 0 : kFlagZ) | (((a ^ v ^ res) >> 8) & kFlagH) |
                   (((a ^ v) & (a ^ res) & 0x8000) >> 13));
  r.memptr = a + 1;
  r.hl = res;
}

// INI/OUTI and kin: `sum` is the byte moved plus C+1, C-1 or the new L.
inline void io_block_flags(Registers& r, uint8_t v, unsigned sum) {
  const uint8_t b = hi(r.bc);
  set_flags(r, kFlags.sz53[b] | ((v & 0x80) ? kFlagN : 0) | (sum > 0xFF ? kFlagH | kFlagC : 0) |
                   (kFlags.sz53p[(sum & 7) ^ b] & kFlagPV));
}

constexpr uint8_t kInterruptModes[8] = {0, 0, 1, 2, 0, 0, 1, 2};

}  // namespace

void Cpu::execute_extended() {
  Registers& r = regs;
  advance_r(r);
  const uint8_t op = fetch8();
  if ((op & 0xC0) != 0x40) {
    if ((op & 0xE4) == 0xA0) {
      execute_block(op);
    } else {
      cycles += 4;
    }
    return;
  }
  const int y = (op >> 3) & 7;
  switch (op & 7) {
    case 0: {  // IN r,(C); number 6 sets the flags only
      cycles += 8;
      const uint8_t v = ports_.in(r.bc, cycles - 3);
      r.memptr = r.bc + 1;
      set_flags(r, (flags(r) & kFlagC) | kFlags.sz53p[v]);
      if (y != 6) set8<Index::hl>(r, y, v);
      break;
    }
    case 1:  // OUT (C),r; number 6 writes 0
      cycles += 8;
      ports_.out(r.bc, y == 6 ? 0 : get8<Index::hl>(r, y), cycles - 3);
      r.memptr = r.bc + 1;
      break;
    case 2:
      cycles += 11;
      if (y & 1) {
        adc16(r, pair(r, y >> 1));
      } else {
        sbc16(r, pair(r, y >> 1));
      }
      break;
    case 3: {
      cycles += 16;
      const uint16_t address = fetch16();
      if (y & 1) {
        pair(r, y >> 1) = read16(address);
      } else {
        write16(address, pair(r, y >> 1));
      }
      r.memptr = address + 1;
      break;
    }
    case 4: {  // NEG
      cycles += 4;
      const uint8_t a = hi(r.af);
      set_hi(r.af, 0);
      alu(r, 2, a);
      break;
    }
    case 5:  // RETN, RETI
      cycles += 10;
      r.iff1 = r.iff2;
      r.pc = r.memptr = pop();
      break;
    case 6:
      cycles += 4;
      r.im = kInterruptModes[y];
      break;
    default:
      execute_register_transfer(y);
      break;
  }
}

// LD I,A  LD R,A  LD A,I  LD A,R  RRD  RLD, and two no-operations.
void Cpu::execute_register_transfer(int y) {
  Registers& r = regs;
  switch (y) {
    case 0:
      cycles += 5;
      r.i = hi(r.af);
      break;
    case 1:
      cycles += 5;
      r.r = hi(r.af);
      break;
    case 2:
    case 3: {
      cycles += 5;
      const uint8_t v = y == 2 ? r.i : r.r;
      r.af = (v << 8) | (flags(r) & kFlagC) | kFlags.sz53[v] | (r.iff2 ? kFlagPV : 0);
      break;
    }
    case 4:
    case 5: {
      cycles += 14;
      const uint8_t v = read8(r.hl), a = hi(r.af);
      uint8_t res;
      if (y == 4) {
        write8(r.hl, (a << 4) | (v >> 4));
        res = (a & 0xF0) | (v & 0x0F);
      } else {
        write8(r.hl, (v << 4) | (a & 0x0F));
        res = (a & 0xF0) | (v >> 4);
      }
      r.af = (res << 8) | (flags(r) & kFlagC) | kFlags.sz53p[res];
      r.memptr = r.hl + 1;
      break;
    }
    default: cycles += 4; break;
  }
}

// LDI CPI INI OUTI, LDD CPD IND OUTD and their repeating forms. A repeat
// takes 5 more T-states and leaves pc on the instruction; LDIR and CPIR
// then point MEMPTR at its second byte, INIR and OTIR keep their port's.
void Cpu::execute_block(uint8_t op) {
  Registers& r = regs;
  cycles += 12;
  const uint16_t step = (op & 0x08) ? 0xFFFF : 1;
  const bool repeating = op & 0x10;
  bool again = false;
  switch (op & 3) {
    case 0: {
      const uint8_t v = read8(r.hl);
      write8(r.de, v);
      r.hl += step;
      r.de += step;
      --r.bc;
      const uint8_t n = v + hi(r.af);
      set_flags(r, (flags(r) & (kFlagS | kFlagZ | kFlagC)) | (r.bc ? kFlagPV : 0) | (n & kFlagX) |
                       ((n << 4) & kFlagY));
      again = repeating && r.bc;
      break;
    }
    case 1: {
      const uint8_t v = read8(r.hl), a = hi(r.af);
      const uint8_t res = a - v;
      const uint8_t half = (a ^ v ^ res) & kFlagH;
      const uint8_t n = res - (half ? 1 : 0);
      r.hl += step;
      --r.bc;
      r.memptr += step;
      set_flags(r, (flags(r) & kFlagC) | kFlagN | (kFlags.sz53[res] & (kFlagS | kFlagZ)) | half |
                       (r.bc ? kFlagPV : 0) | (n & kFlagX) | ((n << 4) & kFlagY));
      again = repeating && r.bc && res;
      break;
    }
    case 2: {
      // The port is read before the memory write, 6 T-states from the end.
      const uint8_t v = ports_.in(r.bc, cycles - 6);
      r.memptr = r.bc + step;
      set_hi(r.bc, hi(r.bc) - 1);
      write8(r.hl, v);
      r.hl += step;
      io_block_flags(r, v, v + ((lo(r.bc) + step) & 0xFF));
      again = repeating && hi(r.bc);
      break;
    }
    default: {
      const uint8_t v = read8(r.hl);
      set_hi(r.bc, hi(r.bc) - 1);
      r.memptr = r.bc + step;
      ports_.out(r.bc, v, cycles - 3);
      r.hl += step;
      io_block_flags(r, v, v + lo(r.hl));
      again = repeating && hi(r.bc);
      break;
    }
  }
  if (again) {
    cycles += 5;
    r.pc -= 2;
    if ((op & 2) == 0) r.memptr = r.pc + 1;
  }
}

}  // namespace tools::z80
