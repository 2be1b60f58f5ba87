// Brings the chip's output from its own rate (clock / 8: 221,675 Hz on the
// ZX Spectrum, 250,000 Hz on the Atari ST, 125,000 Hz on the CPC) down to
// 44,100 Hz without aliasing, and removes the DC that the chip's unipolar
// output carries.
//
// The filter, in three kinds of stage:
//   1. half-band decimators halve the rate while it stays at or above
//      176.4 kHz (once on the Spectrum and the ST, not on the CPC); each
//      rejects what it would fold below 24.1 kHz by at least 100 dB;
//   2. a polyphase windowed-sinc stage (Kaiser window, 512 phases with
//      linear interpolation between them) resamples by the remaining
//      fractional ratio to 88.2 kHz; it keeps what it folds or images below
//      24.1 kHz at least 90 dB down;
//   3. a half-band decimator from 88.2 to 44.1 kHz makes the final cut:
//      pass band 0 .. 20 kHz, stop band from 24.1 kHz at least 90 dB down
//      (what lies between folds onto 20 .. 22.05 kHz, outside hearing).
// Overall: pass band 0 .. 20 kHz with a ripple below 0.01 dB, nothing
// folded below 20 kHz louder than -90 dB; then a one-pole high-pass at
// 5 Hz. The AY tests measure both figures with sines and with a high tone.
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
  // `input_rate` in Hz, at least 88,200.
  explicit Resampler(double input_rate);
  ~Resampler();

  // Room for `count` new input samples on each side, zeroed, for the chips
  // to add their output into; valid until `flush`.
  void extend(size_t count, float** left, float** right);
  // Filters what `extend` gave room for and appends the finished output to
  // `out` as interleaved left/right pairs.
  void flush(std::vector<float>* out);

  // Both in one: copies the samples in, then flushes.
  void process(const float* left, const float* right, size_t count, std::vector<float>* out);

  int half_band_stages() const;  // before the fractional stage
  double polyphase_rate() const { return polyphase_rate_; }
  size_t polyphase_taps() const;

 private:
  class Signal;
  class HalfBand;
  class Polyphase;

  double polyphase_rate_;
  std::vector<std::unique_ptr<HalfBand>> half_bands_;
  std::unique_ptr<Polyphase> polyphase_;
  std::unique_ptr<HalfBand> final_;
  // The signal before each stage, and the final stage's output.
  std::vector<std::unique_ptr<Signal>> signals_;
  double dc_in_[2] = {0, 0};
  double dc_out_[2] = {0, 0};
  double dc_pole_;
};

}  // namespace tools::ay
