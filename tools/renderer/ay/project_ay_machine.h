// The machine a Project AY song's player runs on: a Z80, the 64 KB the file
// fills, interrupts at the machine's rate and the sound hardware behind its
// ports. Two machines are known:
//   - the ZX Spectrum 128: a 3.5 MHz CPU interrupted every 69,888 T-states
//     (50 Hz), the AY at 1.7734 MHz behind ports FFFDh (select, and read
//     back) and BFFDh (write), which the machine decodes from A15, A14 and
//     A1 alone; the 48K's beeper on bit 4 of every even port;
//   - the Amstrad CPC: a 4 MHz CPU interrupted 300 times a second, the AY at
//     1 MHz behind the 8255 PPI (decoded from A11 low, A9/A8 choosing the
//     port): port A (F4xxh) carries the AY's data bus, bits 7 and 6 of port
//     C (F6xxh) its BDIR and BC1 lines, port B (F5xxh) reads the frame
//     flyback in bit 0.
// The machine is a ChipSource: a stretch per interrupt, each write at the
// chip tick of the T-state it was made in.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/renderer/ay/chip_source.h"
#include "tools/renderer/ay/project_ay_file.h"
#include "tools/renderer/z80/z80_cpu.h"

namespace tools::ay::project {

enum class MachineKind { spectrum, cpc };

struct MachineLimits {
  // A player that makes no sound and reaches no HALT for this long is stuck.
  double stuck_seconds = 20;
};

// What running a song for a while showed.
struct Probe {
  bool ok = false;
  std::string error;       // why not
  bool cpc_ports = false;  // it wrote to the CPC's PPI
  bool beeper = false;     // it moved the Spectrum's speaker
  bool chip = false;       // it wrote an AY register
};

class Machine : public ChipSource, private z80::Ports {
 public:
  // `data` holds the file `song` was parsed from; both must outlive the
  // machine. `beeper_level` is the beeper's loudness in the mix (see
  // ChipSetup); the CPC has none.
  Machine(const uint8_t* data, const Song& song, MachineKind kind, const MachineLimits& limits = {},
          float beeper_level = 0);
  ~Machine() override;

  ChipSetup setup() const override;
  // One interrupt's worth of time. Fails when the player is stuck.
  bool next(Stretch* stretch, std::string* error) override;

  // Runs the song on `kind` for at least `seconds` (on until it first
  // makes a sound or halts, or is found stuck) and says what it did. A
  // Spectrum run stops as soon as the player touches the CPC's ports.
  static Probe probe(const uint8_t* data, const Song& song, MachineKind kind, double seconds,
                     const MachineLimits& limits = {});

  MachineKind kind() const { return kind_; }
  uint64_t cycles() const;
  uint8_t memory(uint16_t address) const { return memory_[address]; }

 private:
  uint8_t in(uint16_t port, uint64_t t) override;
  void out(uint16_t port, uint8_t value, uint64_t t) override;

  uint64_t interrupt_time(uint64_t n) const;
  // The chip tick T-state `t` falls in, and how far into it.
  uint64_t tick_at(uint64_t t, float* fraction) const;
  void take_interrupt(uint64_t period_end);
  void note_progress(uint64_t t);
  void write_chip(uint8_t reg, uint8_t value, uint64_t t);
  void set_beeper(uint8_t level, uint64_t t);
  uint8_t chip_read() const;
  void cpc_bus(uint64_t t);

  const MachineKind kind_;
  const MachineLimits limits_;
  // The clocks as whole numbers: a T-state is chip_hz / (8 cpu_hz) ticks.
  const uint64_t cpu_hz_;
  const uint64_t chip_hz_;
  const float beeper_level_;
  std::array<uint8_t, 65536> memory_{};
  std::unique_ptr<z80::Cpu> cpu_;
  uint64_t interrupts_ = 0;     // interrupts raised so far
  uint64_t stretch_tick_ = 0;   // the current stretch's first tick
  Stretch* stretch_ = nullptr;  // while next() runs
  uint64_t last_progress_ = 0;  // T-state of the last sound or HALT
  bool progressed_ = false;
  bool init_returned_ = false;
  Probe seen_;
  // The AY as the ports see it.
  uint8_t selected_ = 0;
  std::array<uint8_t, 16> chip_regs_{};
  uint8_t beeper_ = 0;
  // The CPC's PPI.
  uint8_t ppi_a_ = 0, ppi_c_ = 0;
};

}  // namespace tools::ay::project
