#include "tools/renderer/ay/project_ay_machine.h"

#include <cstdio>

namespace tools::ay::project {
namespace {

constexpr uint64_t kSpectrumFrame = 69888;  // T-states between the ULA's interrupts
// How long the Spectrum's ULA holds its interrupt line: a CPU that has them
// off (or has just turned them on) later than that misses the interrupt.
constexpr uint64_t kSpectrumInterruptLength = 32;
// The CPC's frame flyback: 50 times a second, for about eight lines of 64 us.
constexpr uint64_t kCpcFrame = 80000;
constexpr uint64_t kCpcFlyback = 8 * 64 * 4;

std::string hex(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04Xh", value);
  return text;
}

bool cpc_ppi_port(uint16_t port) {
  // F4xx..F7xx with any low byte but the Spectrum ULA's own FEh, which a
  // Spectrum player writing its border colour through port FEh with a high
  // byte of F4..F7 would give.
  const int high = port >> 8;
  return high >= 0xF4 && high <= 0xF7 && (port & 0xFF) != 0xFE;
}

}  // namespace

Machine::Machine(const uint8_t* data, const Song& song, MachineKind kind, const MachineLimits& limits, float beeper_level)
    : kind_(kind),
      limits_(limits),
      cpu_hz_(kind == MachineKind::spectrum ? 3500000 : 4000000),
      chip_hz_(kind == MachineKind::spectrum ? 1773400 : 1000000),
      beeper_level_(kind == MachineKind::spectrum ? beeper_level : 0.0f) {
  load_memory(data, song, memory_.data());
  cpu_ = std::make_unique<z80::Cpu>(memory_.data(), static_cast<z80::Ports&>(*this));
  z80::Registers& r = cpu_->regs;
  const auto pair = static_cast<uint16_t>(song.hi_reg << 8 | song.lo_reg);
  r.af = r.bc = r.de = r.hl = r.af2 = r.bc2 = r.de2 = r.hl2 = r.ix = r.iy = pair;
  r.i = 3;
  r.r = 0;
  r.sp = song.stack;
  r.pc = 0;
  r.iff1 = r.iff2 = false;
  r.im = 0;
  r.halted = false;
}

Machine::~Machine() = default;

ChipSetup Machine::setup() const {
  ChipSetup setup;
  setup.clock_hz = static_cast<double>(chip_hz_);
  setup.beeper_level = beeper_level_;
  return setup;
}

uint64_t Machine::cycles() const { return cpu_->cycles; }

uint64_t Machine::interrupt_time(uint64_t n) const {
  return kind_ == MachineKind::spectrum ? n * kSpectrumFrame : n * cpu_hz_ / 300;
}

uint64_t Machine::tick_at(uint64_t t, float* fraction) const {
  const uint64_t scaled = t * chip_hz_;
  const uint64_t per_tick = 8 * cpu_hz_;
  if (fraction) *fraction = static_cast<float>(scaled % per_tick) / static_cast<float>(per_tick);
  return scaled / per_tick;
}

void Machine::take_interrupt(uint64_t period_end) {
  if (cpu_->interrupt(0xFF)) return;
  // The Spectrum's line drops after a few dozen T-states; the CPC's Gate
  // Array holds its request until the CPU takes it.
  const uint64_t until =
      kind_ == MachineKind::spectrum ? interrupt_time(interrupts_) + kSpectrumInterruptLength : period_end;
  while (cpu_->cycles < until) {
    if (cpu_->regs.halted && !cpu_->regs.iff1) return;  // nothing will take it
    cpu_->step();
    if (cpu_->interrupt(0xFF)) return;
  }
}

bool Machine::next(Stretch* stretch, std::string* error) {
  stretch->clear();
  stretch_ = stretch;
  stretch_tick_ = tick_at(cpu_->cycles, nullptr);
  const uint64_t period_end = interrupt_time(interrupts_ + 1);
  take_interrupt(period_end);
  cpu_->run_until(period_end);
  ++interrupts_;
  stretch->ticks = static_cast<uint32_t>(tick_at(cpu_->cycles, nullptr) - stretch_tick_);
  stretch_ = nullptr;
  if (cpu_->regs.halted) {
    init_returned_ = true;
    note_progress(cpu_->cycles);
  }
  if (cpu_->cycles - last_progress_ > static_cast<uint64_t>(limits_.stuck_seconds * static_cast<double>(cpu_hz_))) {
    const bool in_init = !init_returned_;
    *error = std::string("the player's ") + (in_init ? "init" : "interrupt") + " routine (now at " +
             hex(cpu_->regs.pc) + ") made no sound and did not return for " +
             std::to_string(static_cast<int>(limits_.stuck_seconds)) + " s";
    return false;
  }
  return true;
}

void Machine::note_progress(uint64_t t) {
  last_progress_ = t;
  progressed_ = true;
}

Probe Machine::probe(const uint8_t* data, const Song& song, MachineKind kind, double seconds,
                     const MachineLimits& limits) {
  Machine machine(data, song, kind, limits, 0.0f);
  Stretch stretch;
  const auto until = static_cast<uint64_t>(seconds * static_cast<double>(machine.cpu_hz_));
  Probe& probe = machine.seen_;
  probe.ok = true;
  for (;;) {
    if (!machine.next(&stretch, &probe.error)) {
      probe.ok = false;
      break;
    }
    // A Spectrum that touches the CPC's ports is the wrong machine: no use
    // running it further.
    if (kind == MachineKind::spectrum && probe.cpc_ports) break;
    if (machine.cycles() >= until && machine.progressed_) break;
  }
  return probe;
}

void Machine::write_chip(uint8_t reg, uint8_t value, uint64_t t) {
  // Registers 14 and 15 are the chip's I/O ports, which make no sound.
  if (reg > 13) return;
  static constexpr uint8_t kMasks[14] = {0xFF, 0x0F, 0xFF, 0x0F, 0xFF, 0x0F, 0x1F,
                                         0xFF, 0x1F, 0x1F, 0x1F, 0xFF, 0xFF, 0x0F};
  chip_regs_[reg] = value & kMasks[reg];
  seen_.chip = true;
  note_progress(t);
  if (!stretch_) return;
  const uint64_t tick = tick_at(t, nullptr) - stretch_tick_;
  stretch_->writes.push_back({static_cast<uint32_t>(tick), 0, reg, value});
}

void Machine::set_beeper(uint8_t level, uint64_t t) {
  if (level == beeper_) return;
  beeper_ = level;
  seen_.beeper = true;
  note_progress(t);
  if (!stretch_) return;
  float fraction;
  const uint64_t tick = tick_at(t, &fraction) - stretch_tick_;
  stretch_->beeper.push_back({static_cast<uint32_t>(tick), fraction, level});
}

uint8_t Machine::chip_read() const { return selected_ < 16 ? chip_regs_[selected_] : 0xFF; }

void Machine::cpc_bus(uint64_t t) {
  // BDIR and BC1 on port C's top bits: 11 latches the register number from
  // the bus, 10 writes the bus into the register, 01 reads it, 00 idles.
  switch (ppi_c_ >> 6) {
    case 3:
      selected_ = ppi_a_;
      break;
    case 2:
      if (selected_ < 16) write_chip(selected_, ppi_a_, t);
      break;
    default:
      break;
  }
}

uint8_t Machine::in(uint16_t port, uint64_t t) {
  if (kind_ == MachineKind::spectrum) {
    if ((port & 0xC002) == 0xC000) return chip_read();
    return 0xFF;  // no key pressed, and the floating bus elsewhere
  }
  if (port & 0x0800) return 0xFF;
  switch ((port >> 8) & 3) {
    case 0:
      return (ppi_c_ >> 6) == 1 ? chip_read() : ppi_a_;
    case 1:
      // Bits 1..4: an Amstrad-made 50 Hz machine; bit 0 the frame flyback.
      return static_cast<uint8_t>(0x1E | ((t % kCpcFrame) < kCpcFlyback ? 1 : 0));
    case 2:
      return ppi_c_;
    default:
      return 0xFF;
  }
}

void Machine::out(uint16_t port, uint8_t value, uint64_t t) {
  // OUT (n),A puts A on the high half of the address as well: a Spectrum
  // player writing F4h..F7h to some port of its own is not a CPC one.
  if (cpc_ppi_port(port) && value != port >> 8) seen_.cpc_ports = true;
  if (kind_ == MachineKind::spectrum) {
    if ((port & 0xC002) == 0xC000) {
      selected_ = value;
    } else if ((port & 0xC002) == 0x8000) {
      if (selected_ < 16) write_chip(selected_, value, t);
    }
    if (!(port & 1)) set_beeper((value >> 4) & 1, t);
    return;
  }
  if (port & 0x0800) return;
  switch ((port >> 8) & 3) {
    case 0:
      ppi_a_ = value;
      cpc_bus(t);
      break;
    case 2:
      ppi_c_ = value;
      cpc_bus(t);
      break;
    case 3:
      if (value & 0x80) {
        // A mode set clears the output ports.
        ppi_a_ = ppi_c_ = 0;
      } else {
        // Bit set/reset on port C: the bit number in bits 1..3.
        const uint8_t bit = static_cast<uint8_t>(1 << ((value >> 1) & 7));
        ppi_c_ = static_cast<uint8_t>((value & 1) ? (ppi_c_ | bit) : (ppi_c_ & ~bit));
        cpc_bus(t);
      }
      break;
    default:
      break;
  }
}

}  // namespace tools::ay::project
