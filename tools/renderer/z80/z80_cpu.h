// A Zilog Z80 CPU, documented and undocumented behaviour alike: every
// opcode, the flag bits 3 and 5, the internal MEMPTR (WZ) register where the
// flags reveal it, R, the interrupt modes and exact T-state counts. Memory
// is a flat 64 KB array the caller owns; I/O goes through Ports.
#pragma once

#include <cstdint>

namespace tools::z80 {

// The programmer's view of the CPU. Pairs hold the high register in bits
// 8..15 (A in af, B in bc, ...). While `halted`, pc addresses the HALT.
struct Registers {
  uint16_t af, bc, de, hl, af2, bc2, de2, hl2, ix, iy, sp, pc, memptr;
  uint8_t i, r;
  bool iff1, iff2;
  uint8_t im;  // 0, 1 or 2
  bool halted;
};

// The machine's I/O space. `t` is the CPU's `cycles` value at the I/O
// cycle's second T-state, when the real CPU drives IORQ with RD or WR.
class Ports {
 public:
  virtual ~Ports() = default;
  virtual uint8_t in(uint16_t port, uint64_t t) = 0;
  virtual void out(uint16_t port, uint8_t value, uint64_t t) = 0;
};

// HL, or the index register a DD (IX) or FD (IY) prefix puts in its place.
enum class Index { hl, ix, iy };

class Cpu {
 public:
  // `memory` is 65536 bytes owned by the caller; `ports` must outlive the
  // CPU. Starts as after reset().
  Cpu(uint8_t* memory, Ports& ports);

  Registers regs;       // public, for loaders and tests
  uint64_t cycles = 0;  // T-states executed since construction

  // Runs whole instructions until cycles >= limit. A halted CPU goes to the
  // limit at once (rounded up to its 4-T-state HALT cycles, R advancing by
  // one per cycle as the repeated fetches would).
  void run_until(uint64_t limit);
  // One instruction, or one HALT cycle. A DD/FD prefix followed by another
  // prefix counts as an instruction of its own (4 T-states).
  void step();

  // A maskable interrupt with `bus` on the data bus. Accepted when iff1 is
  // set and the previous instruction was neither EI nor a DD/FD prefix;
  // then leaves HALT, clears IFF1/IFF2 and runs IM 0 (the bus byte as an
  // opcode, 0xFF being RST 38h, 2 T-states longer), IM 1 (RST 38h, 13 T)
  // or IM 2 (a call through the word at i << 8 | bus, 19 T). Returns whether
  // it was accepted; a refused interrupt is forgotten, so a caller whose
  // INT line stays active may step() and ask again.
  bool interrupt(uint8_t bus = 0xFF);
  // A non-maskable interrupt, taken at once: calls 0x66 (11 T) and clears
  // IFF1; IFF2 keeps the state that RETN restores.
  void nmi();
  // The power-on state: PC, I, R and IM 0, interrupts off, AF and SP
  // 0xFFFF. `cycles` keeps counting.
  void reset();

  // Whether the previous instruction (EI or a prefix) holds off interrupts.
  bool interrupts_held() const { return hold_interrupts_; }

 private:
  void execute_one();
  template <Index X> void execute(uint8_t op);
  template <Index X> void execute_prefixed();
  template <Index X> uint16_t operand_address();
  void execute_bits();
  void execute_index_bits(uint16_t address);
  void execute_extended();
  void execute_register_transfer(int y);
  void execute_block(uint8_t op);
  void leave_halt();

  uint8_t read8(uint16_t a) const { return memory_[a]; }
  void write8(uint16_t a, uint8_t v) { memory_[a] = v; }
  uint16_t read16(uint16_t a) const { return memory_[a] | memory_[uint16_t(a + 1)] << 8; }
  void write16(uint16_t a, uint16_t v) {
    memory_[a] = v & 0xFF;
    memory_[uint16_t(a + 1)] = v >> 8;
  }
  uint8_t fetch8() { return memory_[regs.pc++]; }
  uint16_t fetch16() {
    const uint16_t v = read16(regs.pc);
    regs.pc += 2;
    return v;
  }
  void push(uint16_t v) {
    regs.sp -= 2;
    write16(regs.sp, v);
  }
  uint16_t pop() {
    const uint16_t v = read16(regs.sp);
    regs.sp += 2;
    return v;
  }

  uint8_t* const memory_;
  Ports& ports_;
  bool hold_interrupts_ = false;
};

}  // namespace tools::z80
