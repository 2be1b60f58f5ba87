// The chip on its own, stepped tick by tick: tone and noise generators,
// the envelope's 16 shapes, the converters' levels and the mixer, read
// from the chip's output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tools/renderer/ay/ay_chip.h"

namespace {

using tools::ay::AyChip;
using tools::ay::ChipType;
using tools::ay::Panning;

// Channel A alone, at full weight, on the left.
const Panning kChannelA = {{1, 0, 0}, {0, 0, 0}};

// The chip's output for `ticks` ticks through `panning`'s left side.
std::vector<float> run_left(AyChip& chip, size_t ticks, const Panning& panning = kChannelA) {
  std::vector<float> left(ticks, 0.0f), right(ticks, 0.0f);
  chip.run(ticks, panning, left.data(), right.data());
  return left;
}

// Tone and noise off on every channel: each channel's output is its level.
constexpr uint8_t kSteadyLevels = 0x3F;

TEST(AyChipTone, HalfWaveLastsPeriodTimesEightClockCycles) {
  for (int period : {1, 2, 7, 100, 0xFFF}) {
    SCOPED_TRACE(period);
    AyChip chip(ChipType::ay);
    chip.write(0, period & 0xFF);
    chip.write(1, period >> 8);
    chip.write(7, 0x3E);
    chip.write(8, 15);
    const std::vector<float> out = run_left(chip, 8 * 0x1000 + 4);
    std::vector<size_t> edges;
    for (size_t i = 1; i < out.size(); ++i) {
      if (out[i] != out[i - 1]) edges.push_back(i);
    }
    ASSERT_GE(edges.size(), 3u);
    for (size_t i = 1; i < edges.size(); ++i) EXPECT_EQ(edges[i] - edges[i - 1], static_cast<size_t>(period));
  }
}

TEST(AyChipTone, PeriodIsTwelveBitsAndZeroPlaysAsOne) {
  AyChip chip(ChipType::ay);
  chip.write(2, 0xFF);
  chip.write(3, 0xFF);  // the upper four bits do not exist
  EXPECT_EQ(chip.reg(3), 0x0F);
  chip.write(0, 0);
  chip.write(1, 0);
  chip.write(7, 0x3E);
  chip.write(8, 15);
  const std::vector<float> out = run_left(chip, 16);
  for (size_t i = 1; i < out.size(); ++i) EXPECT_NE(out[i], out[i - 1]) << i;
}

// The envelope cycles as the data sheets draw them: '\' falls, '/' rises,
// '_' stays low and '^' stays high, one character per cycle.
struct ShapeFigure {
  int shape;
  const char* cycles;
};
const ShapeFigure kFigures[] = {
    {0x0, "\\___"}, {0x1, "\\___"}, {0x2, "\\___"}, {0x3, "\\___"}, {0x4, "/___"}, {0x5, "/___"},
    {0x6, "/___"},  {0x7, "/___"},  {0x8, "\\\\\\\\"}, {0x9, "\\___"}, {0xA, "\\/\\/"}, {0xB, "\\^^^"},
    {0xC, "////"},  {0xD, "/^^^"},  {0xE, "/\\/\\"}, {0xF, "/___"},
};

int figure_step(const char* cycles, size_t tick_in_cycle, size_t cycle) {
  switch (cycles[cycle]) {
    case '\\': return 31 - static_cast<int>(tick_in_cycle);
    case '/': return static_cast<int>(tick_in_cycle);
    case '^': return 31;
    default: return 0;
  }
}

TEST(AyChipEnvelope, EveryShapeFollowsTheDataSheetFigureOnBothChips) {
  for (ChipType type : {ChipType::ym, ChipType::ay}) {
    for (const ShapeFigure& figure : kFigures) {
      SCOPED_TRACE(std::string(type == ChipType::ym ? "YM" : "AY") + " shape " + std::to_string(figure.shape));
      AyChip chip(type);
      const int period = 3;  // ticks per 32nd of a cycle: 256 * 3 clock cycles a cycle
      chip.write(11, period);
      chip.write(12, 0);
      chip.write(7, kSteadyLevels);
      chip.write(8, 0x10);
      chip.write(13, static_cast<uint8_t>(figure.shape));
      const std::vector<float> out = run_left(chip, 4 * 32 * period);
      for (size_t tick = 0; tick < out.size(); ++tick) {
        const size_t step = tick / period;
        const int expected = figure_step(figure.cycles, step % 32, step / 32);
        // The AY's converter has 16 levels: each lasts two of the 32 steps.
        const float level = type == ChipType::ym ? tools::ay::ym_level(expected) : tools::ay::ay_level(expected >> 1);
        ASSERT_FLOAT_EQ(out[tick], level) << "tick " << tick;
      }
    }
  }
}

TEST(AyChipEnvelope, AyPassesSixteenLevelsAndYmThirtyTwoInOneCycle) {
  for (ChipType type : {ChipType::ay, ChipType::ym}) {
    AyChip chip(type);
    chip.write(11, 1);
    chip.write(7, kSteadyLevels);
    chip.write(8, 0x10);
    chip.write(13, 0x0C);
    const std::vector<float> out = run_left(chip, 32);
    std::vector<float> distinct(out);
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    EXPECT_EQ(distinct.size(), type == ChipType::ay ? 16u : 32u);
  }
}

TEST(AyChipEnvelope, WritingTheShapeRestartsItEvenWithTheSameValue) {
  AyChip chip(ChipType::ym);
  chip.write(11, 2);
  chip.write(7, kSteadyLevels);
  chip.write(8, 0x10);
  chip.write(13, 0x0D);
  run_left(chip, 40);
  EXPECT_EQ(chip.envelope_step(), 20);
  chip.write(13, 0x0D);
  EXPECT_EQ(chip.envelope_step(), 0);
  chip.write(12, 1);  // a new period alone does not restart it
  EXPECT_EQ(chip.envelope_step(), 0);
  run_left(chip, 1);
  chip.write(11, 3);
  EXPECT_EQ(chip.envelope_step(), 0);
}

// Channel A's noise output, one bit per shift of the register.
std::vector<int> noise_bits(AyChip& chip, int period, size_t shifts) {
  chip.write(6, static_cast<uint8_t>(period));
  chip.write(7, 0x01 | 0x06 | 0x30);  // A: noise only
  chip.write(8, 15);
  std::vector<int> bits;
  const std::vector<float> out = run_left(chip, shifts * 2 * period);
  for (size_t i = 0; i < shifts; ++i) bits.push_back(out[i * 2 * period] > 0 ? 1 : 0);
  return bits;
}

TEST(AyChipNoise, SeventeenBitShiftRegisterWithTapsAtBitsZeroAndThree) {
  AyChip chip(ChipType::ay);
  const size_t length = (1u << 17) - 1;
  const std::vector<int> bits = noise_bits(chip, 1, 2 * length + 17);
  // Each output bit is the XOR of the bits 17 and 14 places before it
  // (the polynomial x^17 + x^3 + 1) ...
  for (size_t n = 0; n + 17 < bits.size(); ++n) ASSERT_EQ(bits[n + 17], bits[n] ^ bits[n + 3]) << n;
  // ... and the sequence repeats only after all 2^17 - 1 non-zero states,
  // half of them ones.
  for (size_t n = 0; n < 200; ++n) ASSERT_EQ(bits[n], bits[n + length]);
  size_t ones = 0;
  for (size_t n = 0; n < length; ++n) ones += bits[n];
  EXPECT_EQ(ones, (length + 1) / 2);
  EXPECT_NE(std::vector<int>(bits.begin(), bits.begin() + 64), std::vector<int>(bits.begin() + 1, bits.begin() + 65));
}

TEST(AyChipNoise, ShiftsAtClockOverSixteenTimesThePeriod) {
  for (int period : {1, 5, 31}) {
    SCOPED_TRACE(period);
    AyChip chip(ChipType::ay);
    chip.write(6, static_cast<uint8_t>(period));
    chip.write(7, 0x01 | 0x06 | 0x30);
    chip.write(8, 15);
    const std::vector<float> out = run_left(chip, 4000 * period);
    size_t changes = 0;
    for (size_t i = 1; i < out.size(); ++i) {
      if (out[i] == out[i - 1]) continue;
      ++changes;
      // Shifts fall every 16 * period clock cycles: every 2 * period ticks.
      ASSERT_EQ(i % (2 * period), 0u) << i;
    }
    // A shift changes the output half the time.
    EXPECT_NEAR(static_cast<double>(changes) / 2000, 0.5, 0.06);
  }
}

TEST(AyChipVolume, AyLevelsRiseThreeDecibelsAYmEnvelopeOnePointFive) {
  EXPECT_EQ(tools::ay::ay_level(0), 0.0f);
  EXPECT_EQ(tools::ay::ym_level(0), 0.0f);
  EXPECT_FLOAT_EQ(tools::ay::ay_level(15), 1.0f);
  EXPECT_FLOAT_EQ(tools::ay::ym_level(31), 1.0f);
  AyChip ay(ChipType::ay), ym(ChipType::ym);
  for (AyChip* chip : {&ay, &ym}) chip->write(7, kSteadyLevels);
  std::vector<float> ay_fixed, ym_fixed;
  for (int volume = 0; volume < 16; ++volume) {
    ay.write(8, static_cast<uint8_t>(volume));
    ym.write(8, static_cast<uint8_t>(volume));
    ay_fixed.push_back(run_left(ay, 1)[0]);
    ym_fixed.push_back(run_left(ym, 1)[0]);
  }
  EXPECT_EQ(ay_fixed[0], 0.0f);
  EXPECT_EQ(ym_fixed[0], 0.0f);
  for (int volume = 2; volume < 16; ++volume) {
    EXPECT_NEAR(20 * std::log10(ay_fixed[volume] / ay_fixed[volume - 1]), 3.0103, 1e-3) << volume;
    // The YM's fixed volumes sit on every other of its 32 steps.
    EXPECT_NEAR(20 * std::log10(ym_fixed[volume] / ym_fixed[volume - 1]), 3.0103, 1e-3) << volume;
    EXPECT_FLOAT_EQ(ym_fixed[volume], tools::ay::ym_level(2 * volume + 1));
  }
  for (int step = 2; step < 32; ++step) {
    EXPECT_NEAR(20 * std::log10(tools::ay::ym_level(step) / tools::ay::ym_level(step - 1)), 1.50515, 1e-3);
  }
}

TEST(AyChipMixer, EnableBitsGateEachChannelsToneAndNoise) {
  for (int channel = 0; channel < 3; ++channel) {
    for (int mode = 0; mode < 4; ++mode) {
      const bool tone_off = mode & 1, noise_off = mode & 2;
      SCOPED_TRACE("channel " + std::to_string(channel) + " tone " + (tone_off ? "off" : "on") + " noise " +
                   (noise_off ? "off" : "on"));
      AyChip chip(ChipType::ay);
      chip.write(2 * channel, 3);
      chip.write(6, 1);
      // Every other channel fully off; this one as the mode says.
      uint8_t mixer = 0x3F;
      if (!tone_off) mixer &= ~(1 << channel);
      if (!noise_off) mixer &= ~(8 << channel);
      chip.write(7, mixer);
      for (int c = 0; c < 3; ++c) chip.write(8 + c, 15);
      Panning only = {{0, 0, 0}, {0, 0, 0}};
      only.left[channel] = 1;
      std::vector<float> out;
      std::vector<bool> tone, noise;
      for (int tick = 0; tick < 600; ++tick) {
        tone.push_back(chip.tone_output(channel));
        noise.push_back(chip.noise_register() & 1);
        out.push_back(run_left(chip, 1, only)[0]);
      }
      for (size_t i = 0; i < out.size(); ++i) {
        const bool high = (tone[i] || tone_off) && (noise[i] || noise_off);
        ASSERT_EQ(out[i], high ? 1.0f : 0.0f) << i;
      }
    }
  }
}

}  // namespace
