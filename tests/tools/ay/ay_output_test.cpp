// The chip through the player and its resampler, as the renderer hears it:
// tone frequencies, the stereo layouts, the second chip, the filter's pass
// band and its alias rejection, and the removed DC.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/tools/ay/spectrum.h"
#include "tools/renderer/ay/resampler.h"
#include "tools/renderer/ay/song_player.h"
#include "tools/renderer/tune.h"

namespace {

using tools::ay::AySong;
using tools::ay::ChipType;
using tools::ay::StereoLayout;

constexpr double kRate = tools::kSampleRate;

// A song holding one tone on `channel` of the first chip for `seconds`.
AySong tone_song(double clock_hz, int period, int channel, double seconds, int volume = 15) {
  AySong song;
  song.clock_hz = clock_hz;
  tools::ay::Frame frame;
  frame[0].regs[2 * channel] = static_cast<uint8_t>(period & 0xFF);
  frame[0].regs[2 * channel + 1] = static_cast<uint8_t>(period >> 8);
  frame[0].regs[7] = static_cast<uint8_t>(0x3F & ~(1 << channel));
  frame[0].regs[8 + channel] = static_cast<uint8_t>(volume);
  song.frames.assign(static_cast<size_t>(seconds * song.frame_hz), frame);
  return song;
}

struct Sides {
  std::vector<double> left, right;
};

// The player's output at full scale 1, the first `skip` seconds dropped
// (the DC filter settles), `frames` frames kept.
Sides render(const AySong& song, double skip, size_t frames) {
  tools::ay::SongPlayer player(song);
  const size_t skipped = static_cast<size_t>(skip * kRate);
  std::vector<float> out(2 * (skipped + frames));
  EXPECT_EQ(player.render_float(out.data(), skipped + frames), skipped + frames);
  Sides sides;
  for (size_t i = skipped; i < skipped + frames; ++i) {
    sides.left.push_back(out[2 * i]);
    sides.right.push_back(out[2 * i + 1]);
  }
  return sides;
}

double rms(const std::vector<double>& x) {
  double sum = 0;
  for (double v : x) sum += v * v;
  return std::sqrt(sum / x.size());
}

// The frequency from the rising zero crossings, interpolated between samples.
double measured_frequency(const std::vector<double>& x) {
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = 1; i < x.size(); ++i) {
    if (x[i - 1] < 0 && x[i] >= 0) {
      const double at = (i - 1) + x[i - 1] / (x[i - 1] - x[i]);
      if (first < 0) first = at;
      last = at;
      ++crossings;
    }
  }
  return crossings > 1 ? (crossings - 1) * kRate / (last - first) : 0;
}

TEST(AyOutputTone, FrequencyIsClockOverSixteenTimesThePeriod) {
  struct Case {
    double clock;
    int period;
  };
  for (const Case& c : {Case{1773400, 100}, Case{1773400, 20}, Case{1773400, 4095}, Case{2000000, 142},
                        Case{1000000, 1000}, Case{1000000, 9}}) {
    SCOPED_TRACE(std::to_string(c.clock) + " Hz, period " + std::to_string(c.period));
    const Sides out = render(tone_song(c.clock, c.period, 0, 1.3), 0.2, 44100);
    const double expected = c.clock / (16.0 * c.period);
    EXPECT_NEAR(measured_frequency(out.left), expected, expected * 3e-4);
  }
}

TEST(AyOutputStereo, LayoutsPlaceEachChannelAndTheMiddleOneOnBothSides) {
  // The left and right levels of channels A, B, C, relative to a side
  // channel's own side: 1 full, h the middle's -3 dB, m mono's -4.8 dB.
  const double h = std::sqrt(0.5), m = std::sqrt(1.0 / 3);
  struct Case {
    StereoLayout layout;
    const char* name;
    double left[3], right[3];
  };
  const Case cases[] = {
      {StereoLayout::abc, "ABC", {1, h, 0}, {0, h, 1}},
      {StereoLayout::acb, "ACB", {1, 0, h}, {0, 1, h}},
      {StereoLayout::bac, "BAC", {h, 1, 0}, {h, 0, 1}},
      {StereoLayout::mono, "mono", {m, m, m}, {m, m, m}},
  };
  double reference = 0;
  for (const Case& c : cases) {
    for (int channel = 0; channel < 3; ++channel) {
      SCOPED_TRACE(std::string(c.name) + " channel " + "ABC"[channel]);
      AySong song = tone_song(1773400, 200, channel, 0.5);
      song.layout = c.layout;
      const Sides out = render(song, 0.2, 8820);
      // The player scales every layout by its loudest side: ABC's 1 + h.
      if (reference == 0) reference = rms(out.left) / c.left[channel];
      const double scale = reference * (1 + h) / (c.layout == StereoLayout::mono ? 3 * m : 1 + h);
      EXPECT_NEAR(rms(out.left), c.left[channel] * scale, 1e-3 * reference);
      EXPECT_NEAR(rms(out.right), c.right[channel] * scale, 1e-3 * reference);
    }
  }
}

TEST(AyOutputStereo, TurboSoundsSecondChipPlaysBesideTheFirst) {
  AySong song = tone_song(1773400, 200, 0, 0.5);
  song.chips = 2;
  const Sides first_only = render(song, 0.2, 8820);
  for (tools::ay::Frame& frame : song.frames) {
    frame[1].regs[4] = 150;
    frame[1].regs[7] = 0x3B;  // the second chip's channel C: the right side
    frame[1].regs[10] = 15;
  }
  const Sides both = render(song, 0.2, 8820);
  EXPECT_GT(rms(first_only.left), 0.05);
  EXPECT_LT(rms(first_only.right), 1e-4);
  EXPECT_NEAR(rms(both.left), rms(first_only.left), 1e-4);
  EXPECT_NEAR(rms(both.right), rms(both.left), 1e-3);
  EXPECT_NEAR(measured_frequency(both.right), 1773400 / (16.0 * 150), 2);
}


TEST(AyOutputStereo, ThirdChipPlaysBesideTheOthersAtTheSameScale) {
  AySong song = tone_song(1773400, 200, 0, 0.5);
  song.chips = 3;
  std::string error;
  EXPECT_TRUE(tools::ay::SongPlayer::playable(song, &error)) << error;
  const Sides first_only = render(song, 0.2, 8820);
  for (tools::ay::Frame& frame : song.frames) {
    frame[2].regs[4] = 150;
    frame[2].regs[7] = 0x3B;  // the third chip's channel C: the right side
    frame[2].regs[10] = 15;
  }
  const Sides all = render(song, 0.2, 8820);
  EXPECT_NEAR(rms(all.left), rms(first_only.left), 1e-4);
  EXPECT_NEAR(rms(all.right), rms(all.left), 1e-3);
  EXPECT_NEAR(measured_frequency(all.right), 1773400 / (16.0 * 150), 2);
  song.chips = 4;
  EXPECT_FALSE(tools::ay::SongPlayer::playable(song, &error));
}
// Sines straight into the resampler at each clock's tick rate: the output's
// amplitude at the sine's frequency, or at its alias when it lies above
// the output's Nyquist frequency.
double resampled_amplitude(double input_rate, double hz) {
  tools::ay::Resampler resampler(input_rate);
  const size_t count = static_cast<size_t>(input_rate * 0.3);
  std::vector<float> left(count), right(count, 0.0f), out;
  for (size_t i = 0; i < count; ++i) left[i] = static_cast<float>(std::sin(2 * 3.14159265358979323846 * hz * i / input_rate));
  resampler.process(left.data(), right.data(), count, &out);
  // After the DC filter's first 50 ms, a window of 8192 frames.
  std::vector<double> x;
  for (size_t i = 2 * 2205; i < 2 * (2205 + (1 << 13)); i += 2) x.push_back(out[i]);
  double folded = std::fmod(hz, kRate);
  if (folded > kRate / 2) folded = kRate - folded;
  return tools_test::amplitude_at(x, kRate, folded);
}

TEST(AyOutputFilter, PassBandIsFlatToTwentyKilohertz) {
  for (double rate : {1773400 / 8.0, 2000000 / 8.0, 1000000 / 8.0}) {
    for (double hz : {500.0, 5000.0, 10000.0, 15000.0, 19000.0, tools::ay::kPassBandHz}) {
      SCOPED_TRACE(std::to_string(rate) + " Hz in, " + std::to_string(hz) + " Hz");
      EXPECT_NEAR(tools_test::to_db(resampled_amplitude(rate, hz)), 0, 0.01);
    }
  }
}

TEST(AyOutputFilter, StopBandFoldsNothingAudibleBack) {
  for (double rate : {1773400 / 8.0, 2000000 / 8.0, 1000000 / 8.0}) {
    for (double hz : {tools::ay::kStopBandHz, 26000.0, 30000.0, 40000.0, 50000.0, 70000.0, 100000.0}) {
      if (hz >= rate / 2) continue;
      SCOPED_TRACE(std::to_string(rate) + " Hz in, " + std::to_string(hz) + " Hz");
      EXPECT_LT(tools_test::to_db(resampled_amplitude(rate, hz)), -tools::ay::kStopBandDb);
    }
  }
}

// What the filter lets fold back below 20 kHz, relative to the tone, for
// high tones whose harmonics lie far above the output's Nyquist frequency.
double alias_level_db(const std::vector<double>& x, double tone_hz) {
  const std::vector<double> spectrum = tools_test::magnitude_spectrum(x);
  std::vector<double> harmonics;
  for (double h = tone_hz; h < kRate / 2; h += 2 * tone_hz) harmonics.push_back(h);
  const double tone = tools_test::component_at(spectrum, kRate, tone_hz);
  const double alias = tools_test::largest_component(spectrum, kRate, 20, tools::ay::kPassBandHz, harmonics, 60);
  return tools_test::to_db(alias / tone);
}

TEST(AyOutputFilter, HighTonesAliasBelowTheStopBandFigure) {
  struct Case {
    double clock;
    int period;
  };
  for (const Case& c : {Case{1773400, 7}, Case{1773400, 13}, Case{2000000, 9}, Case{1000000, 4}}) {
    const double hz = c.clock / (16.0 * c.period);
    SCOPED_TRACE(std::to_string(hz) + " Hz");
    const Sides out = render(tone_song(c.clock, c.period, 0, 1.0), 0.2, 1 << 15);
    EXPECT_LT(alias_level_db(out.left, hz), -tools::ay::kStopBandDb);
  }
}

TEST(AyOutputFilter, TheMeasurementSeesTheAliasesOfPickingEveryFifthSample) {
  // The same chip output decimated without a filter: the test's yardstick
  // must find its aliases, or the figure above proves nothing.
  tools::ay::AyChip chip(ChipType::ay);
  chip.write(0, 13);
  chip.write(7, 0x3E);
  chip.write(8, 15);
  const size_t ticks = 5 * (1 << 15);
  std::vector<float> left(ticks, 0.0f), right(ticks, 0.0f);
  chip.run(ticks, tools::ay::panning_for(StereoLayout::abc), left.data(), right.data());
  std::vector<double> picked;
  double mean = 0;
  for (size_t i = 0; i < ticks; i += 5) mean += left[i];
  mean /= ticks / 5;
  for (size_t i = 0; i < ticks; i += 5) picked.push_back(left[i] - mean);
  // At 1,773,400 / 8 / 5 Hz, the tone's harmonics fold onto the spectrum.
  const double rate = 1773400 / 40.0;
  const std::vector<double> spectrum = tools_test::magnitude_spectrum(picked);
  const double hz = 1773400 / (16.0 * 13);
  const double alias = tools_test::largest_component(spectrum, rate, 20, 20000, {hz}, 60);
  EXPECT_GT(tools_test::to_db(alias / tools_test::component_at(spectrum, rate, hz)), -40);
}

TEST(AyOutputFilter, RemovesTheDcOfTheChipsOneSidedOutput) {
  const Sides out = render(tone_song(1773400, 100, 0, 1.6), 1, 22050);
  double mean = 0;
  for (double v : out.left) mean += v;
  mean /= out.left.size();
  EXPECT_LT(std::fabs(mean), 1e-3 * rms(out.left));
}

TEST(AyOutputFilter, StagesFollowTheClock) {
  // Half-band stages while the rate stays at or above 176.4 kHz, then the
  // fractional stage to 88.2 kHz.
  EXPECT_EQ(tools::ay::Resampler(1773400 / 8.0).half_band_stages(), 1);
  EXPECT_EQ(tools::ay::Resampler(2000000 / 8.0).half_band_stages(), 1);
  EXPECT_EQ(tools::ay::Resampler(1000000 / 8.0).half_band_stages(), 0);
  EXPECT_EQ(tools::ay::Resampler(3546800 / 8.0).half_band_stages(), 2);
  EXPECT_NEAR(tools::ay::Resampler(1773400 / 8.0).polyphase_rate(), 110837.5, 1e-6);
}

}  // namespace
