// What the FUSE suite leaves out: accepting interrupts (the modes, their
// T-states, the hold after EI and after a prefix, leaving HALT), NMI, the
// HALT skip to the run limit, LD A,I with IFF2 set, and the T-state that a
// port write reports.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "tools/renderer/z80/z80_cpu.h"

namespace {

struct Write {
  uint16_t port;
  uint8_t value;
  uint64_t t;
};

class LoggingPorts : public tools::z80::Ports {
 public:
  uint8_t in(uint16_t, uint64_t) override { return 0xFF; }
  void out(uint16_t port, uint8_t value, uint64_t t) override { writes.push_back({port, value, t}); }
  std::vector<Write> writes;
};

class Z80Cpu : public ::testing::Test {
 protected:
  Z80Cpu() : memory(65536, 0), cpu(memory.data(), ports) { cpu.regs.sp = 0xF000; }

  void load(uint16_t address, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) memory[address++] = b;
  }
  uint16_t stacked() const { return memory[cpu.regs.sp] | memory[cpu.regs.sp + 1] << 8; }

  // EI; IM n; HALT at 0x0003, run until the CPU halts.
  void halt_with_interrupts_on(uint8_t im_opcode) {
    load(0, {0xFB, 0xED, im_opcode, 0x76});
    cpu.run_until(16);
    ASSERT_TRUE(cpu.regs.halted);
  }

  std::vector<uint8_t> memory;
  LoggingPorts ports;
  tools::z80::Cpu cpu;
};

TEST_F(Z80Cpu, HaltedRunJumpsToTheLimitAdvancingROncePerFourTStates) {
  cpu.regs.r = 0xFE;
  load(0, {0x76});
  cpu.run_until(1);
  EXPECT_EQ(cpu.cycles, 4u);
  EXPECT_EQ(cpu.regs.pc, 0u);
  cpu.run_until(4 + 4 * 130 - 2);  // 130 more HALT cycles, the last one passing the limit
  EXPECT_EQ(cpu.cycles, 4u + 4 * 130);
  EXPECT_EQ(cpu.regs.r, 0x80 | ((0x7E + 131) & 0x7F)) << "bit 7 kept, 7 bits counting";
  cpu.step();
  EXPECT_EQ(cpu.cycles, 8u + 4 * 130);
}

TEST_F(Z80Cpu, InterruptModeOneLeavesHaltForRst38In13TStates) {
  halt_with_interrupts_on(0x56);
  const uint64_t before = cpu.cycles;
  const uint8_t r = cpu.regs.r;
  ASSERT_TRUE(cpu.interrupt());
  EXPECT_EQ(cpu.cycles - before, 13u);
  EXPECT_EQ(cpu.regs.pc, 0x38);
  EXPECT_EQ(stacked(), 0x0004) << "returns after the HALT";
  EXPECT_FALSE(cpu.regs.halted);
  EXPECT_FALSE(cpu.regs.iff1);
  EXPECT_FALSE(cpu.regs.iff2);
  EXPECT_EQ(cpu.regs.r, r + 1);
  EXPECT_FALSE(cpu.interrupt()) << "interrupts are off in the handler";
}

TEST_F(Z80Cpu, InterruptModeTwoCallsThroughTheVectorIn19TStates) {
  halt_with_interrupts_on(0x5E);
  cpu.regs.i = 0x80;
  load(0x80FE, {0x34, 0x12});
  const uint64_t before = cpu.cycles;
  ASSERT_TRUE(cpu.interrupt(0xFE));
  EXPECT_EQ(cpu.cycles - before, 19u);
  EXPECT_EQ(cpu.regs.pc, 0x1234);
  EXPECT_EQ(cpu.regs.memptr, 0x1234);
  EXPECT_EQ(stacked(), 0x0004);
}

TEST_F(Z80Cpu, InterruptModeZeroRunsTheBusByteTwoTStatesLonger) {
  halt_with_interrupts_on(0x46);
  uint64_t before = cpu.cycles;
  ASSERT_TRUE(cpu.interrupt());  // 0xFF: RST 38h
  EXPECT_EQ(cpu.cycles - before, 13u);
  EXPECT_EQ(cpu.regs.pc, 0x38);
  cpu.regs.iff1 = true;
  before = cpu.cycles;
  ASSERT_TRUE(cpu.interrupt(0xCF));  // RST 08h
  EXPECT_EQ(cpu.cycles - before, 13u);
  EXPECT_EQ(cpu.regs.pc, 0x08);
  EXPECT_EQ(stacked(), 0x38);
}

TEST_F(Z80Cpu, NoInterruptStraightAfterEiOrAPrefixOrWithInterruptsOff) {
  load(0, {0xF3, 0xFB, 0x00, 0xDD, 0xDD, 0x00, 0x00});  // DI; EI; NOP; DD; DD NOP; NOP
  cpu.regs.im = 1;
  cpu.step();
  EXPECT_FALSE(cpu.interrupt()) << "after DI";
  cpu.step();
  EXPECT_TRUE(cpu.interrupts_held());
  EXPECT_FALSE(cpu.interrupt()) << "straight after EI";
  cpu.step();
  ASSERT_EQ(cpu.regs.pc, 3);
  cpu.step();  // the first DD, a prefix cut short by the next one
  EXPECT_EQ(cpu.cycles, 16u);
  EXPECT_EQ(cpu.regs.pc, 4);
  EXPECT_FALSE(cpu.interrupt()) << "between a prefix and its opcode";
  cpu.step();  // DD NOP
  EXPECT_EQ(cpu.cycles, 24u);
  EXPECT_TRUE(cpu.interrupt());
  EXPECT_EQ(stacked(), 0x0006);
}

TEST_F(Z80Cpu, NmiLeavesHaltAndRetnRestoresIff1) {
  load(0, {0xFB, 0x76});
  load(0x66, {0xED, 0x45});  // RETN
  cpu.run_until(8);
  ASSERT_TRUE(cpu.regs.halted);
  const uint64_t before = cpu.cycles;
  cpu.nmi();
  EXPECT_EQ(cpu.cycles - before, 11u);
  EXPECT_EQ(cpu.regs.pc, 0x66);
  EXPECT_EQ(stacked(), 0x0002);
  EXPECT_FALSE(cpu.regs.iff1);
  EXPECT_TRUE(cpu.regs.iff2);
  cpu.step();
  EXPECT_EQ(cpu.regs.pc, 2);
  EXPECT_TRUE(cpu.regs.iff1);
}

TEST_F(Z80Cpu, LdAIAndLdARCopyIff2IntoParity) {
  load(0, {0xED, 0x57, 0xED, 0x5F});
  cpu.regs.i = 0x80;
  cpu.regs.iff2 = true;
  cpu.regs.af = 0x0001;
  cpu.step();
  EXPECT_EQ(cpu.regs.af, 0x8085) << "A = I; S and PV set, carry kept";
  cpu.regs.iff2 = false;
  cpu.step();
  EXPECT_EQ(cpu.regs.af & 0x04, 0) << "PV clear with IFF2 clear";
  EXPECT_EQ(cpu.regs.af >> 8, 4) << "R counts both fetches of LD A,R itself";
}

TEST_F(Z80Cpu, PortWritesReportTheirTStateWithinTheInstruction) {
  // NOP; OUT (0xFD),A; LD BC,0xBFFD; OUT (C),A; OUTI
  load(0, {0x00, 0xD3, 0xFD, 0x01, 0xFD, 0xBF, 0xED, 0x79, 0xED, 0xA3});
  cpu.regs.af = 0x7700;
  cpu.regs.hl = 0x4000;
  memory[0x4000] = 0x42;
  cpu.run_until(4 + 11 + 10 + 12 + 16);
  ASSERT_EQ(ports.writes.size(), 3u);
  EXPECT_EQ(ports.writes[0].port, 0x77FD);
  EXPECT_EQ(ports.writes[0].t, 4u + 8);
  EXPECT_EQ(ports.writes[1].port, 0xBFFD);
  EXPECT_EQ(ports.writes[1].t, 25u + 9);
  EXPECT_EQ(ports.writes[2].port, 0xBEFD) << "OUTI puts out B after its decrement";
  EXPECT_EQ(ports.writes[2].value, 0x42);
  EXPECT_EQ(ports.writes[2].t, 37u + 13);
}

}  // namespace
