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

AyChip::AyChip(ChipType type) : type_(type) { restart_envelope(); }

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
      envelope_period_ = std::max<uint32_t>(1, regs_[11] | (regs_[12] << 8));
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
  if (++envelope_position_ < 32) {
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

float AyChip::channel_amplitude(int channel) const {
  const int level = channel_level(channel);
  return type_ == ChipType::ym ? tables().ym[level] : tables().ay[level];
}

void AyChip::run(size_t ticks, const Panning& panning, float* left, float* right) {
  const uint8_t mixer = regs_[7];
  while (ticks > 0) {
    // The output holds until the next generator changes state; runs of
    // equal samples are written in one go.
    uint32_t span = static_cast<uint32_t>(std::min<size_t>(ticks, kNever - 1));
    for (const Tone& tone : tone_) {
      span = std::min(span, tone.count < tone.period ? tone.period - tone.count : 1);
    }
    span = std::min(span, noise_count_ < noise_period_ ? noise_period_ - noise_count_ : 1);
    if (!envelope_holding_) {
      span = std::min(span, envelope_count_ < envelope_period_ ? envelope_period_ - envelope_count_ : 1);
    }

    const bool noise_high = (noise_ & 1) != 0;
    float l = 0, r = 0;
    for (int c = 0; c < 3; ++c) {
      // A disabled generator lets the channel through: both disabled give
      // a steady level, which is how chips play samples.
      const bool tone_on = tone_[c].high || (mixer & (1 << c));
      const bool noise_on = noise_high || (mixer & (8 << c));
      if (tone_on && noise_on) {
        const float amplitude = channel_amplitude(c);
        l += amplitude * panning.left[c];
        r += amplitude * panning.right[c];
      }
    }
    for (uint32_t i = 0; i < span; ++i) {
      left[i] += l;
      right[i] += r;
    }
    left += span;
    right += span;
    ticks -= span;

    for (Tone& tone : tone_) {
      tone.count += span;
      if (tone.count >= tone.period) {
        tone.count = 0;
        tone.high = !tone.high;
      }
    }
    noise_count_ += span;
    if (noise_count_ >= noise_period_) {
      noise_count_ = 0;
      // Bit 0 is the output; bit 0 XOR bit 3 is shifted in at the top.
      const uint32_t in = (noise_ ^ (noise_ >> 3)) & 1;
      noise_ = (noise_ >> 1) | (in << 16);
    }
    if (!envelope_holding_) {
      envelope_count_ += span;
      if (envelope_count_ >= envelope_period_) {
        envelope_count_ = 0;
        step_envelope();
      }
    }
  }
}

}  // namespace tools::ay
