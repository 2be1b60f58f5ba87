// One AY-3-8910 or YM2149F sound chip, stepped at its own rate (clock / 8),
// after the General Instrument and Yamaha data sheets: three tone
// generators with 12-bit periods, the 17-bit noise generator, the mixer,
// the envelope generator and the logarithmic D/A converters.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "tools/renderer/ay/ay_song.h"

namespace tools::ay {

// The converters' output for each level, full scale 1. The AY has 16
// levels, 3 dB apart ("n + 1 = sqrt(2) * n"), level 0 silent. The YM has 32
// levels 1.5 dB apart for its envelope; a fixed volume L sounds at its step
// 2L + 1 (L = 0 silent), so both chips agree on the fixed volumes.
float ay_level(int level16);
float ym_level(int level32);

// How the three channels reach the two sides.
struct Panning {
  std::array<float, 3> left;
  std::array<float, 3> right;
};

// The side channels wholly on their side, the middle one on both at
// -3 dB; mono puts every channel on both sides at -4.8 dB.
Panning panning_for(StereoLayout layout);

class AyChip {
 public:
  explicit AyChip(ChipType type);

  // Registers R0..R13; other numbers are ignored. Writing R13 restarts the
  // envelope even with an unchanged value.
  void write(int reg, uint8_t value);
  uint8_t reg(int reg) const { return regs_[reg & 15]; }

  // Steps the chip `ticks` times (one tick: 8 clock cycles) and adds each
  // tick's output, weighted by `panning`, to left[i] and right[i].
  void run(size_t ticks, const Panning& panning, float* left, float* right);

  // The state the tests look at.
  uint32_t noise_register() const { return noise_; }
  bool tone_output(int channel) const { return tone_[channel].high; }
  int envelope_step() const;  // 0..31, full steps on both chips
  // A channel's converter level now: 0..15 on the AY, 0..31 on the YM.
  int channel_level(int channel) const;

 private:
  struct Tone {
    uint32_t period = 1;
    uint32_t count = 0;
    bool high = false;
  };

  void step_envelope();
  void step_envelope_times(uint64_t steps);
  void restart_envelope();
  void shift_noise(uint64_t shifts);
  // The AY walks its 16 envelope levels two of the 32 steps at a time.
  int envelope_increment() const { return type_ == ChipType::ym ? 1 : 2; }

  const ChipType type_;
  std::array<uint8_t, 16> regs_{};
  std::array<Tone, 3> tone_;
  uint32_t noise_period_ = 1;  // in ticks: 2 * NP, the noise shifts at clock / (16 NP)
  uint32_t noise_count_ = 0;
  uint32_t noise_ = 1;         // the 17-bit shift register
  uint32_t envelope_ticks_ = 1;  // ticks per step: the period on the YM, twice it on the AY
  uint32_t envelope_count_ = 0;
  int envelope_position_ = 0;  // 0..31 within the current cycle
  bool envelope_attack_ = false;
  bool envelope_holding_ = false;
  int envelope_value_ = 0;  // 0..31
  float fixed_ym_[16];        // the YM's fixed volumes, on its 32-step scale
  float envelope_ay_[32];     // the AY's levels by envelope step
};

}  // namespace tools::ay
