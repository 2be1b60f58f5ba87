// Construction, reset and the acceptance of interrupts.
#include "tools/renderer/z80/z80_cpu.h"

#include "tools/renderer/z80/z80_core.h"

namespace tools::z80 {

Cpu::Cpu(uint8_t* memory, Ports& ports) : regs{}, memory_(memory), ports_(ports) { reset(); }

void Cpu::reset() {
  regs = Registers{};
  regs.af = 0xFFFF;
  regs.sp = 0xFFFF;
  hold_interrupts_ = false;
}

// An interrupt ends a HALT: the return address is the instruction after it.
void Cpu::leave_halt() {
  if (regs.halted) {
    regs.halted = false;
    ++regs.pc;
  }
}

bool Cpu::interrupt(uint8_t bus) {
  if (!regs.iff1 || hold_interrupts_) return false;
  leave_halt();
  regs.iff1 = regs.iff2 = false;
  advance_r(regs);
  switch (regs.im) {
    case 0:
      // The acknowledge cycle adds two wait states to the opcode's own time.
      cycles += 2;
      execute<Index::hl>(bus);
      break;
    case 1:
      cycles += 13;
      push(regs.pc);
      regs.pc = regs.memptr = 0x38;
      break;
    default:
      cycles += 19;
      push(regs.pc);
      regs.pc = regs.memptr = read16((regs.i << 8) | bus);
      break;
  }
  return true;
}

void Cpu::nmi() {
  leave_halt();
  regs.iff1 = false;
  advance_r(regs);
  cycles += 11;
  push(regs.pc);
  regs.pc = regs.memptr = 0x66;
}

}  // namespace tools::z80
