#include "tools/renderer/ay/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tools/renderer/tune.h"

namespace tools::ay {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFinalRate = 2.0 * kSampleRate;

// Four floats processed as one; compilers without SIMD lower it to scalar
// code, so it is only a matter of speed.
typedef float Vec4 __attribute__((vector_size(16)));

Vec4 load4(const float* p) {
  Vec4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void store4(float* p, Vec4 v) { std::memcpy(p, &v, sizeof v); }

Vec4 splat(float x) { return Vec4{x, x, x, x}; }

double bessel_i0(double x) {
  double sum = 1, term = 1;
  for (int k = 1; k < 50; ++k) {
    term *= (x / (2 * k)) * (x / (2 * k));
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum;
}

// Kaiser's formulas for a window that gives `db` of attenuation over a
// transition of `transition` times the sampling rate.
double kaiser_beta(double db) { return 0.1102 * (db - 8.7); }
int kaiser_length(double db, double transition) {
  return static_cast<int>(std::ceil((db - 7.95) / (2.285 * 2 * kPi * transition))) + 1;
}

// The window at x in [-1, 1].
double kaiser(double x, double beta) {
  if (x <= -1 || x >= 1) return 0;
  return bessel_i0(beta * std::sqrt(1 - x * x)) / bessel_i0(beta);
}

double sinc(double x) { return x == 0 ? 1 : std::sin(kPi * x) / (kPi * x); }

}  // namespace

// One side's samples on their way into a stage: appended at the end,
// consumed from the front. Eight floats of slack follow the end, so that
// four-wide loads may run past it.
class Resampler::Signal {
 public:
  float* extend(size_t count, bool zeroed) {
    if (start_ > 0) {
      std::memmove(buffer_.data(), buffer_.data() + start_, (end_ - start_) * sizeof(float));
      end_ -= start_;
      start_ = 0;
    }
    if (end_ + count + 8 > buffer_.size()) buffer_.resize(std::max(end_ + count + 8, 2 * buffer_.size()));
    float* room = buffer_.data() + end_;
    if (zeroed) std::fill(room, room + count, 0.0f);
    end_ += count;
    return room;
  }
  const float* data() const { return buffer_.data() + start_; }
  size_t size() const { return end_ - start_; }
  void consume(size_t count) { start_ += std::min(count, size()); }

 private:
  std::vector<float> buffer_;
  size_t start_ = 0, end_ = 0;
};

// Halves the rate. Every other coefficient of a half-band filter is zero,
// so the even input samples meet the symmetric pairs and the odd ones the
// centre tap alone: y[m] = O[m+M-1] / 2 + sum h_k (E[m+M-k] + E[m+M+k-1]).
class Resampler::HalfBand {
 public:
  // Passes 0 .. kPassBandHz and keeps `stop_hz` .. rate / 2 `db` down.
  HalfBand(double rate, double stop_hz, double db) {
    const double transition = (stop_hz - kPassBandHz) / rate;
    const int length = kaiser_length(db, transition);
    pairs_ = std::max(1, (length + 1 + 3) / 4);  // 4M - 1 taps
    const double beta = kaiser_beta(db);
    const double half = 2.0 * pairs_;
    std::vector<double> h;
    double sum = 0;
    for (int k = 1; k <= pairs_; ++k) {
      const double n = 2 * k - 1;
      h.push_back(0.5 * sinc(n / 2) * kaiser(n / half, beta));
      sum += 2 * h.back();
    }
    // The pairs together pass half of DC, the centre the other half.
    for (double value : h) coefficients_.push_back(splat(static_cast<float>(value * 0.5 / sum)));
  }

  size_t taps() const { return 4 * pairs_ - 1; }

  // Filters what `in` holds into `out`, consuming all but the history.
  void process(Signal& in, Signal& out) {
    const size_t length = taps();
    if (in.size() < length) return;
    const size_t outputs = (in.size() - length) / 2 + 1;
    const size_t pairs = outputs + 2 * pairs_;  // the samples those outputs read
    split(in.data(), pairs);
    float* y = out.extend(outputs, false);
    const float* odd = odd_.data() + pairs_ - 1;
    const float* even = even_.data() + pairs_;
    const Vec4 half = splat(0.5f);
    // Eight outputs at a time; the split arrays have room for the last group.
    for (size_t m = 0; m < outputs; m += 8) {
      Vec4 a = half * load4(odd + m), b = half * load4(odd + m + 4);
      const float* e = even + m;
      for (int k = 1; k <= pairs_; ++k) {
        const Vec4 h = coefficients_[k - 1];
        a += h * (load4(e - k) + load4(e + k - 1));
        b += h * (load4(e - k + 4) + load4(e + k + 3));
      }
      if (m + 8 <= outputs) {
        store4(y + m, a);
        store4(y + m + 4, b);
      } else {
        float rest[8];
        store4(rest, a);
        store4(rest + 4, b);
        std::copy(rest, rest + (outputs - m), y + m);
      }
    }
    in.consume(2 * outputs);
  }

 private:
  // The even and the odd samples apart, eight at a time.
  void split(const float* x, size_t pairs) {
    even_.resize(pairs + 16);
    odd_.resize(pairs + 16);
    size_t j = 0;
    for (; j + 4 <= pairs; j += 4) {
      const Vec4 a = load4(x + 2 * j), b = load4(x + 2 * j + 4);
      store4(&even_[j], __builtin_shufflevector(a, b, 0, 2, 4, 6));
      store4(&odd_[j], __builtin_shufflevector(a, b, 1, 3, 5, 7));
    }
    for (; j < pairs; ++j) {
      even_[j] = x[2 * j];
      odd_[j] = x[2 * j + 1];
    }
  }

  int pairs_ = 1;
  std::vector<Vec4> coefficients_;  // h_1 .. h_M, each in all four lanes
  std::vector<float> even_, odd_;
};

// Resamples by a fractional ratio to 88.2 kHz: each output is a dot
// product of the input with the windowed sinc at that output's phase, the
// coefficients interpolated between two of kPhases precomputed rows.
class Resampler::Polyphase {
 public:
  static constexpr int kPhases = 512;

  explicit Polyphase(double rate) : step_(std::llround(rate / kFinalRate * 4294967296.0)) {
    // Images of the pass band fall at rate - f; those that 88.2 kHz would
    // fold below 24.1 kHz start at 88.2 kHz - 24.1 kHz.
    const double stop_hz = kFinalRate - kStopBandHz;
    taps_ = (kaiser_length(kStopBandDb, (stop_hz - kPassBandHz) / rate) + 7) & ~size_t{7};
    const double cutoff = (kPassBandHz + stop_hz) / 2 / rate;  // of the input rate
    const double beta = kaiser_beta(kStopBandDb);
    const double half = taps_ / 2.0;
    table_.resize((kPhases + 1) * taps_);
    for (int p = 0; p <= kPhases; ++p) {
      float* row = &table_[p * taps_];
      double sum = 0;
      for (size_t j = 0; j < taps_; ++j) {
        const double t = static_cast<double>(p) / kPhases + half - 1 - static_cast<double>(j);
        const double h = 2 * cutoff * sinc(2 * cutoff * t) * kaiser(t / half, beta);
        row[j] = static_cast<float>(h);
        sum += h;
      }
      // Every phase passes DC alike, or the phase steps would modulate it.
      for (size_t j = 0; j < taps_; ++j) row[j] = static_cast<float>(row[j] / sum);
    }
    slope_.resize(kPhases * taps_);
    for (size_t i = 0; i < slope_.size(); ++i) slope_[i] = table_[i + taps_] - table_[i];
  }

  size_t taps() const { return taps_; }

  void process(Signal& in_left, Signal& in_right, Signal& out_left, Signal& out_right) {
    const size_t available = in_left.size();
    // The outputs whose windows the input now holds.
    const uint64_t limit = available >= taps_ ? static_cast<uint64_t>(available - taps_ + 1) << 32 : 0;
    const size_t count = position_ < limit ? static_cast<size_t>((limit - 1 - position_) / step_) + 1 : 0;
    const float* l = in_left.data();
    const float* r = in_right.data();
    float* yl = out_left.extend(count, false);
    float* yr = out_right.extend(count, false);
    for (size_t n = 0; n < count; ++n) {
      const size_t start = static_cast<size_t>(position_ >> 32);
      const uint32_t fraction = static_cast<uint32_t>(position_);
      const int phase = static_cast<int>(fraction >> (32 - 9));
      const Vec4 w = splat(static_cast<float>((fraction & ((1u << 23) - 1)) * (1.0 / (1u << 23))));
      const float* row = &table_[phase * taps_];
      const float* slope = &slope_[phase * taps_];
      const float* xl = l + start;
      const float* xr = r + start;
      // Two sums per side keep the additions from waiting on each other.
      Vec4 l0 = splat(0), l1 = l0, r0 = l0, r1 = l0;
      for (size_t j = 0; j < taps_; j += 8) {
        const Vec4 c0 = load4(row + j) + w * load4(slope + j);
        const Vec4 c1 = load4(row + j + 4) + w * load4(slope + j + 4);
        l0 += c0 * load4(xl + j);
        r0 += c0 * load4(xr + j);
        l1 += c1 * load4(xl + j + 4);
        r1 += c1 * load4(xr + j + 4);
      }
      // Both sides' four partial sums added pairwise in one go.
      const Vec4 sl = l0 + l1, sr = r0 + r1;
      const Vec4 pairs = __builtin_shufflevector(sl, sr, 0, 2, 4, 6) + __builtin_shufflevector(sl, sr, 1, 3, 5, 7);
      yl[n] = pairs[0] + pairs[1];
      yr[n] = pairs[2] + pairs[3];
      position_ += step_;
    }
    const size_t consumed = std::min<size_t>(static_cast<size_t>(position_ >> 32), available);
    in_left.consume(consumed);
    in_right.consume(consumed);
    position_ -= static_cast<uint64_t>(consumed) << 32;
  }

 private:
  static_assert(kPhases == 1 << 9, "the phase is the fraction's top 9 bits");
  const uint64_t step_;    // input samples per output, 32.32 fixed point
  uint64_t position_ = 0;  // the next output's window start, same units
  size_t taps_;
  std::vector<float> table_;  // (kPhases + 1) rows of taps_
  std::vector<float> slope_;  // row p + 1 minus row p
};

Resampler::Resampler(double input_rate) : dc_pole_(std::exp(-2 * kPi * kDcCornerHz / kSampleRate)) {
  double rate = input_rate;
  while (rate >= 2 * kFinalRate) {
    // What this stage folds onto 0 .. 24.1 kHz comes from rate/2 - 24.1 kHz up.
    half_bands_.push_back(std::make_unique<HalfBand>(rate, rate / 2 - kStopBandHz, kHalfBandStopDb));
    rate /= 2;
  }
  polyphase_rate_ = rate;
  polyphase_ = std::make_unique<Polyphase>(rate);
  // Kaiser's length formula comes out a fraction of a decibel short at the
  // stop band's edge; the final cut is designed with some margin.
  final_ = std::make_unique<HalfBand>(kFinalRate, kStopBandHz, kStopBandDb + 3);
  // Two sides before each half-band, the polyphase stage, the final stage,
  // and after it.
  for (size_t i = 0; i < 2 * (half_bands_.size() + 3); ++i) signals_.push_back(std::make_unique<Signal>());
}

Resampler::~Resampler() = default;

int Resampler::half_band_stages() const { return static_cast<int>(half_bands_.size()); }
size_t Resampler::polyphase_taps() const { return polyphase_->taps(); }

void Resampler::extend(size_t count, float** left, float** right) {
  *left = signals_[0]->extend(count, true);
  *right = signals_[1]->extend(count, true);
}

void Resampler::flush(std::vector<float>* out) {
  size_t at = 0;
  for (auto& stage : half_bands_) {
    for (int side = 0; side < 2; ++side) stage->process(*signals_[at + side], *signals_[at + 2 + side]);
    at += 2;
  }
  polyphase_->process(*signals_[at], *signals_[at + 1], *signals_[at + 2], *signals_[at + 3]);
  at += 2;
  for (int side = 0; side < 2; ++side) final_->process(*signals_[at + side], *signals_[at + 2 + side]);
  at += 2;
  Signal& left = *signals_[at];
  Signal& right = *signals_[at + 1];
  const size_t count = left.size();
  const size_t first = out->size();
  out->resize(first + 2 * count);
  float* y = out->data() + first;
  const float* l = left.data();
  const float* r = right.data();
  for (size_t i = 0; i < count; ++i) {
    const float in[2] = {l[i], r[i]};
    for (int c = 0; c < 2; ++c) {
      const double x = in[c];
      const double v = x - dc_in_[c] + dc_pole_ * dc_out_[c];
      dc_in_[c] = x;
      dc_out_[c] = v;
      y[2 * i + c] = static_cast<float>(v);
    }
  }
  left.consume(count);
  right.consume(count);
}

void Resampler::process(const float* left, const float* right, size_t count, std::vector<float>* out) {
  float *l, *r;
  extend(count, &l, &r);
  std::copy(left, left + count, l);
  std::copy(right, right + count, r);
  flush(out);
}

}  // namespace tools::ay
