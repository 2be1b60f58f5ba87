#include "tools/renderer/ay/ay_chip.h"

#include <algorithm>
#include <cmath>

namespace tools::ay {
namespace {

struct LevelTables {
  std::array<float, 16> ay{};
  std::array<float, 32> ym{};
  LevelTables() {
    for (int n = 1; n < 16; ++n) ay[n] = static_cast<float>(std::pow(2.0, (n - 15) / 2.0));
    for (int n = 1; n < 32; ++n) ym[n] = static_cast<float>(std::pow(2.0, (n - 31) / 4.0));
  }
};

const LevelTables& tables() {
  static const LevelTables levels;
  return levels;
}

// Shape bits of R13.
constexpr uint8_t kHold = 1;
constexpr uint8_t kAlternate = 2;
constexpr uint8_t kAttack = 4;
constexpr uint8_t kContinue = 8;

constexpr uint32_t kNever = UINT32_MAX;

}  // namespace

float ay_level(int level16) { return tables().ay[level16 & 15]; }
float ym_level(int level32) { return tables().ym[level32 & 31]; }

Panning panning_for(StereoLayout layout) {
  const float side = 1.0f;
  const float middle = static_cast<float>(std::sqrt(0.5));
  const float mono = static_cast<float>(std::sqrt(1.0 / 3.0));
  switch (layout) {
    case StereoLayout::abc:
      return {{side, middle, 0}, {0, middle, side}};
    case StereoLayout::acb:
      return {{side, 0, middle}, {0, side, middle}};
    case StereoLayout::bac:
      return {{middle, side, 0}, {middle, 0, side}};
    case StereoLayout::mono:
      break;
  }
  return {{mono, mono, mono}, {mono, mono, mono}};
}

AyChip::AyChip(ChipType type) : type_(type) {
  for (int volume = 0; volume < 16; ++volume) {
    fixed_ym_[volume] = volume ? tables().ym[2 * volume + 1] : 0.0f;
    envelope_ay_[2 * volume] = envelope_ay_[2 * volume + 1] = tables().ay[volume];
  }
  envelope_ticks_ = envelope_increment();
  restart_envelope();
}

void AyChip::write(int reg, uint8_t value) {
  if (reg < 0 || reg > 13) return;
  // Unused bits read back as zero.
  static constexpr uint8_t kMasks[14] = {0xFF, 0x0F, 0xFF, 0x0F, 0xFF, 0x0F, 0x1F,
                                         0xFF, 0x1F, 0x1F, 0x1F, 0xFF, 0xFF, 0x0F};
  value &= kMasks[reg];
  regs_[reg] = value;
  switch (reg) {
    case 0: case 1: case 2: case 3: case 4: case 5: {
      // A period of 0 counts as 1, as on the chips.
      Tone& tone = tone_[reg / 2];
      tone.period = std::max<uint32_t>(1, regs_[reg & ~1] | (regs_[reg | 1] << 8));
      break;
    }
    case 6:
      noise_period_ = 2 * std::max<uint32_t>(1, value);
      break;
    case 11: case 12:
      // 32 steps a cycle of 256 * period clock cycles on the YM; the AY's 16
      // steps take two of those each.
      envelope_ticks_ = std::max<uint32_t>(1, regs_[11] | (regs_[12] << 8)) * envelope_increment();
      break;
    case 13:
      restart_envelope();
      break;
    default:
      break;
  }
}

void AyChip::restart_envelope() {
  envelope_count_ = 0;
  envelope_position_ = 0;
  envelope_attack_ = (regs_[13] & kAttack) != 0;
  envelope_holding_ = false;
  envelope_value_ = envelope_attack_ ? 0 : 31;
}

void AyChip::step_envelope() {
  envelope_position_ += envelope_increment();
  if (envelope_position_ < 32) {
    envelope_value_ = envelope_attack_ ? envelope_position_ : 31 - envelope_position_;
    return;
  }
  // The end of a cycle: shapes 0..7 fall silent, the others hold or go on.
  const uint8_t shape = regs_[13];
  envelope_position_ = 0;
  if (!(shape & kContinue)) {
    envelope_holding_ = true;
    envelope_value_ = 0;
  } else if (shape & kHold) {
    envelope_holding_ = true;
    // Alternate with hold keeps the level the cycle started at.
    const bool ended_high = envelope_attack_;
    envelope_value_ = (ended_high != ((shape & kAlternate) != 0)) ? 31 : 0;
  } else {
    if (shape & kAlternate) envelope_attack_ = !envelope_attack_;
    envelope_value_ = envelope_attack_ ? 0 : 31;
  }
}

int AyChip::envelope_step() const { return envelope_value_; }

int AyChip::channel_level(int channel) const {
  const uint8_t volume = regs_[8 + channel];
  if (volume & 0x10) return type_ == ChipType::ym ? envelope_value_ : envelope_value_ >> 1;
  const int fixed = volume & 15;
  return type_ == ChipType::ym ? (fixed ? 2 * fixed + 1 : 0) : fixed;
}

namespace {

// Ticks until a counter at `count` reaches `period` (at least one: a period
// lowered below the count ends the wait at the next tick).
uint32_t ticks_to_event(uint32_t count, uint32_t period) { return count < period ? period - count : 1; }

// Advances a counter by `ticks`; returns how many times it reached its period.
uint64_t advance_counter(uint32_t* count, uint32_t period, uint64_t ticks) {
  const uint32_t first = ticks_to_event(*count, period);
  if (ticks < first) {
    *count += static_cast<uint32_t>(ticks);
    return 0;
  }
  ticks -= first;
  *count = static_cast<uint32_t>(ticks % period);
  return 1 + ticks / period;
}

}  // namespace

void AyChip::shift_noise(uint64_t shifts) {
  for (uint64_t i = 0; i < shifts; ++i) {
    // Bit 0 is the output; bit 0 XOR bit 3 is shifted in at the top.
    const uint32_t in = (noise_ ^ (noise_ >> 3)) & 1;
    noise_ = (noise_ >> 1) | (in << 16);
  }
}

void AyChip::step_envelope_times(uint64_t steps) {
  if (!envelope_holding_ && (regs_[13] & (kContinue | kHold)) == kContinue) {
    // A repeating shape comes back to the same state after one cycle, or
    // two when it alternates.
    const uint64_t cycle = (32 / envelope_increment()) * ((regs_[13] & kAlternate) ? 2 : 1);
    steps %= cycle;
  }
  for (uint64_t i = 0; i < steps && !envelope_holding_; ++i) step_envelope();
}

void AyChip::run(size_t ticks, const Panning& panning, float* left, float* right) {
  const uint8_t mixer = regs_[7];
  const float* const fixed = type_ == ChipType::ym ? fixed_ym_ : tables().ay.data();
  const float* const enveloped = type_ == ChipType::ym ? tables().ym.data() : envelope_ay_;
  // Only the generators that can be heard end a run of equal samples;
  // the others are brought up to date once, at the end.
  bool tone_heard[3], noise_heard = false, envelope_heard = false;
  for (int c = 0; c < 3; ++c) {
    const uint8_t volume = regs_[8 + c];
    const bool audible = (volume & 0x1F) != 0;
    tone_heard[c] = audible && !(mixer & (1 << c));
    noise_heard = noise_heard || (audible && !(mixer & (8 << c)));
    envelope_heard = envelope_heard || (volume & 0x10);
  }
  const size_t total = ticks;
  while (ticks > 0) {
    // Up to the next change of a tone or of the envelope ...
    uint32_t span = static_cast<uint32_t>(std::min<size_t>(ticks, kNever - 1));
    for (int c = 0; c < 3; ++c) {
      if (tone_heard[c]) span = std::min(span, ticks_to_event(tone_[c].count, tone_[c].period));
    }
    if (envelope_heard && !envelope_holding_) {
      span = std::min(span, ticks_to_event(envelope_count_, envelope_ticks_));
    }

    // ... the output takes one of two values, by the noise's output bit.
    float level[2][2] = {{0, 0}, {0, 0}};  // [noise bit][side]
    for (int c = 0; c < 3; ++c) {
      // A disabled generator lets the channel through: both disabled give
      // a steady level, which is how chips play samples.
      if (!tone_[c].high && !(mixer & (1 << c))) continue;
      const uint8_t volume = regs_[8 + c];
      const float amplitude = (volume & 0x10) ? enveloped[envelope_value_] : fixed[volume & 15];
      const float l = amplitude * panning.left[c], r = amplitude * panning.right[c];
      level[1][0] += l;
      level[1][1] += r;
      if (mixer & (8 << c)) {
        level[0][0] += l;
        level[0][1] += r;
      }
    }
    if (!noise_heard || (level[0][0] == level[1][0] && level[0][1] == level[1][1])) {
      const float l = level[1][0], r = level[1][1];
      for (uint32_t i = 0; i < span; ++i) {
        left[i] += l;
        right[i] += r;
      }
      if (noise_heard) shift_noise(advance_counter(&noise_count_, noise_period_, span));
    } else {
      // The noise shifts many times between tone edges: its runs are
      // written here without going round the outer loop.
      uint32_t done = 0;
      while (done < span) {
        const uint32_t run = std::min(span - done, ticks_to_event(noise_count_, noise_period_));
        const float* out = level[noise_ & 1];
        for (uint32_t i = done; i < done + run; ++i) {
          left[i] += out[0];
          right[i] += out[1];
        }
        done += run;
        shift_noise(advance_counter(&noise_count_, noise_period_, run));
      }
    }
    left += span;
    right += span;
    ticks -= span;

    for (int c = 0; c < 3; ++c) {
      if (tone_heard[c] && advance_counter(&tone_[c].count, tone_[c].period, span)) tone_[c].high = !tone_[c].high;
    }
    if (envelope_heard && !envelope_holding_ && advance_counter(&envelope_count_, envelope_ticks_, span)) {
      step_envelope();
    }
  }
  for (int c = 0; c < 3; ++c) {
    if (!tone_heard[c] && (advance_counter(&tone_[c].count, tone_[c].period, total) & 1)) tone_[c].high = !tone_[c].high;
  }
  if (!noise_heard) shift_noise(advance_counter(&noise_count_, noise_period_, total));
  if (!envelope_heard && !envelope_holding_) {
    step_envelope_times(advance_counter(&envelope_count_, envelope_ticks_, total));
  }
}

}  // namespace tools::ay
