// How fast the Z80 interpreter runs, in emulated MHz and in multiples of a
// 3.5 MHz Spectrum, on two loops that keep it busy: a beeper loop (OUT to
// port 0xFE, a delay loop, DJNZ) and a memory-copy and arithmetic mix
// (LDIR, (IX+d) operands, CB rotations on (HL), CALL/RET, PUSH/POP).
//   bench_z80 [<emulated seconds per loop>]   default 200
// Both the process's CPU time and the wall time are given; on a busy
// machine the first is the fair one. Prints figures only.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "tools/renderer/z80/z80_cpu.h"

namespace {

constexpr double kSpectrumHz = 3.5e6;

// Counts writes, so that none of the loop's work can be left out.
class CountingPorts : public tools::z80::Ports {
 public:
  uint8_t in(uint16_t port, uint64_t) override { return port >> 8; }
  void out(uint16_t, uint8_t value, uint64_t) override { sum += value; }
  uint64_t sum = 0;
};

struct Loop {
  const char* name;
  std::vector<uint8_t> code;  // at 0x8000
};

const Loop kLoops[] = {
    {"beeper: OUT (0xFE),A, delay loop, DJNZ",
     {0x06, 0x00,         // 8000 LD B,0
      0xEE, 0x10,         // 8002 XOR 0x10
      0xD3, 0xFE,         // 8004 OUT (0xFE),A
      0x0E, 0x08,         // 8006 LD C,8
      0x0D,               // 8008 DEC C
      0x20, 0xFD,         // 8009 JR NZ,8008
      0x10, 0xF5,         // 800B DJNZ 8002
      0xC3, 0x00, 0x80}},  // 800D JP 8000
    {"copy and arithmetic: LDIR, (IX+d), CB on (HL), CALL/RET",
     {0x21, 0x00, 0x90,        // 8000 LD HL,9000
      0x11, 0x00, 0xA0,        // 8003 LD DE,A000
      0x01, 0x00, 0x01,        // 8006 LD BC,0100
      0xED, 0xB0,              // 8009 LDIR
      0xDD, 0x21, 0x00, 0x90,  // 800B LD IX,9000
      0x06, 0x00,              // 800F LD B,0
      0xDD, 0x7E, 0x01,        // 8011 LD A,(IX+1)
      0xDD, 0x86, 0x02,        // 8014 ADD A,(IX+2)
      0xDD, 0x77, 0x00,        // 8017 LD (IX+0),A
      0xDD, 0x23,              // 801A INC IX
      0x7E,                    // 801C LD A,(HL)
      0x8B,                    // 801D ADC A,E
      0x77,                    // 801E LD (HL),A
      0x23,                    // 801F INC HL
      0xCB, 0x06,              // 8020 RLC (HL)
      0xE5,                    // 8022 PUSH HL
      0xCD, 0x30, 0x80,        // 8023 CALL 8030
      0xE1,                    // 8026 POP HL
      0x10, 0xE8,              // 8027 DJNZ 8011
      0xC3, 0x00, 0x80,        // 8029 JP 8000
      0, 0, 0, 0,              // 802C
      0x19,                    // 8030 ADD HL,DE
      0x7C,                    // 8031 LD A,H
      0xA5,                    // 8032 AND L
      0xC9}},                  // 8033 RET
};

double cpu_seconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

double wall_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
  const double emulated = argc > 1 ? std::atof(argv[1]) : 200;
  const uint64_t t_states = static_cast<uint64_t>(emulated * kSpectrumHz);
  std::printf("Z80 interpreter, %.0f emulated seconds (%.2e T-states) per loop\n", emulated, double(t_states));
  for (const Loop& loop : kLoops) {
    std::vector<uint8_t> memory(65536, 0x5A);
    std::copy(loop.code.begin(), loop.code.end(), memory.begin() + 0x8000);
    CountingPorts ports;
    tools::z80::Cpu cpu(memory.data(), ports);
    cpu.regs.pc = 0x8000;
    cpu.regs.sp = 0xFF00;
    const double cpu0 = cpu_seconds(), wall0 = wall_seconds();
    // In 20 ms slices, as a machine would run it between interrupts.
    for (uint64_t limit = 70000; cpu.cycles < t_states; limit += 70000) cpu.run_until(limit);
    const double cpu_time = cpu_seconds() - cpu0, wall_time = wall_seconds() - wall0;
    std::printf("%-58s %7.1f MHz (%5.0fx a Spectrum) CPU time, %7.1f MHz wall  [%llu]\n", loop.name,
                cpu.cycles / cpu_time / 1e6, cpu.cycles / cpu_time / kSpectrumHz, cpu.cycles / wall_time / 1e6,
                static_cast<unsigned long long>(ports.sum + memory[0x9000]));
  }
  return 0;
}
