// Brings the chip's output from its own rate (clock / 8: 221,675 Hz on the
// ZX Spectrum, 250,000 Hz on the Atari ST, 125,000 Hz on the CPC) down to
// 44,100 Hz without aliasing, and removes the DC that the chip's unipolar
// output carries.
//
// The filter: half-band decimators halve the rate while it stays at or above
// 88.2 kHz, then a polyphase windowed-sinc stage (Kaiser window) resamples
// by the remaining fractional ratio; a one-pole high-pass at 5 Hz follows.
//   pass band   0 .. 20 kHz, ripple below 0.01 dB
//   stop band   from 24.1 kHz (what would fold below 20 kHz), at least
//               90 dB down; the half-band stages reject what they fold into
//               the pass band by at least 100 dB
// The test of the AY engine measures a high tone's alias level against
// these figures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tools::ay {

constexpr double kPassBandHz = 20000;
constexpr double kStopBandHz = 24100;
constexpr double kStopBandDb = 90;
constexpr double kHalfBandStopDb = 100;
constexpr double kDcCornerHz = 5;

class Resampler {
 public:
  // `input_rate` in Hz, at least 44,100.
  explicit Resampler(double input_rate);
  ~Resampler();

  // Consumes `count` samples of each side and appends the finished output
  // to `out` as interleaved left/right pairs.
  void process(const float* left, const float* right, size_t count, std::vector<float>* out);

  // The rate the polyphase stage works at, after the half-band stages.
  double polyphase_rate() const { return polyphase_rate_; }
  int half_band_stages() const;
  size_t polyphase_taps() const;

 private:
  class HalfBand;
  class Polyphase;

  double polyphase_rate_;
  std::vector<std::unique_ptr<HalfBand>> half_bands_;
  std::unique_ptr<Polyphase> polyphase_;
  std::vector<float> left_, right_;  // the signal between stages
  double dc_in_[2] = {0, 0};
  double dc_out_[2] = {0, 0};
  double dc_pole_;
};

}  // namespace tools::ay
