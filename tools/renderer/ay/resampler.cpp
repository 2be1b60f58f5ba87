#include "tools/renderer/ay/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tools/renderer/tune.h"

namespace tools::ay {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Four floats processed as one; compilers without SIMD lower it to
// scalar code, so it is only a matter of speed.
typedef float Vec4 __attribute__((vector_size(16)));

Vec4 load4(const float* p) {
  Vec4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

double bessel_i0(double x) {
  double sum = 1, term = 1;
  for (int k = 1; k < 50; ++k) {
    term *= (x / (2 * k)) * (x / (2 * k));
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum;
}

// Kaiser's formulas for a window that gives `db` of attenuation.
double kaiser_beta(double db) { return db > 50 ? 0.1102 * (db - 8.7) : 0.5842 * std::pow(db - 21, 0.4) + 0.07886 * (db - 21); }
int kaiser_length(double db, double transition_over_rate) {
  return static_cast<int>(std::ceil((db - 7.95) / (2.285 * 2 * kPi * transition_over_rate))) + 1;
}

// The window at x in [-1, 1].
double kaiser(double x, double beta) {
  if (x <= -1 || x >= 1) return 0;
  return bessel_i0(beta * std::sqrt(1 - x * x)) / bessel_i0(beta);
}

double sinc(double x) { return x == 0 ? 1 : std::sin(kPi * x) / (kPi * x); }

}  // namespace

// Halves the rate. Every other coefficient of a half-band filter is zero,
// so the even input samples meet the symmetric pairs and the odd ones the
// centre tap alone: y[m] = O[m+M-1] / 2 + sum h_k (E[m+M-k] + E[m+M+k-1]).
class Resampler::HalfBand {
 public:
  explicit HalfBand(double rate) {
    const double transition = (rate / 2 - 2 * kPassBandHz) / rate;
    const int length = kaiser_length(kHalfBandStopDb, transition);
    pairs_ = std::max(1, (length + 1 + 3) / 4);  // 4M - 1 taps
    const double beta = kaiser_beta(kHalfBandStopDb);
    const double half = 2.0 * pairs_;
    double sum = 0;
    for (int k = 1; k <= pairs_; ++k) {
      const double n = 2 * k - 1;
      const double h = 0.5 * sinc(n / 2) * kaiser(n / half, beta);
      coefficients_.push_back(static_cast<float>(h));
      sum += 2 * h;
    }
    // The pairs together pass half of DC, the centre the other half.
    for (float& h : coefficients_) {
      h = static_cast<float>(h * 0.5 / sum);
      broadcast_.push_back(Vec4{h, h, h, h});
    }
  }

  size_t taps() const { return 4 * pairs_ - 1; }

  // Replaces `signal` (one side) by its decimated continuation.
  void process(std::vector<float>* signal, int side) {
    std::vector<float>& pending = pending_[side];
    pending.insert(pending.end(), signal->begin(), signal->end());
    signal->clear();
    const size_t length = taps();
    if (pending.size() < length) return;
    const size_t outputs = (pending.size() - length) / 2 + 1;
    const size_t pairs = pending.size() / 2;
    even_.resize(pairs);
    odd_.resize(pairs);
    for (size_t j = 0; j < pairs; ++j) {
      even_[j] = pending[2 * j];
      odd_[j] = pending[2 * j + 1];
    }
    // Four outputs at a time; the split arrays have room for the last group.
    even_.resize(pairs + 4);
    odd_.resize(pairs + 4);
    signal->resize(outputs + 4);
    float* y = signal->data();
    const float* odd = odd_.data() + pairs_ - 1;
    const float* even = even_.data();
    const Vec4 half = {0.5f, 0.5f, 0.5f, 0.5f};
    for (size_t m = 0; m < outputs; m += 4) {
      Vec4 acc = half * load4(odd + m);
      for (int k = 1; k <= pairs_; ++k) {
        acc += broadcast_[k - 1] * (load4(even + m + pairs_ - k) + load4(even + m + pairs_ + k - 1));
      }
      std::memcpy(y + m, &acc, sizeof acc);
    }
    signal->resize(outputs);
    pending.erase(pending.begin(), pending.begin() + 2 * outputs);
  }

 private:
  int pairs_ = 1;
  std::vector<float> coefficients_;  // h_1 .. h_M
  std::vector<Vec4> broadcast_;      // each h_k in all four lanes
  std::vector<float> pending_[2];
  std::vector<float> even_, odd_;
};

// Resamples by a fractional ratio: each output is a dot product of the
// input with the windowed sinc at that output's phase, the phase's
// coefficients interpolated between two of kPhases precomputed rows.
class Resampler::Polyphase {
 public:
  static constexpr int kPhases = 512;

  explicit Polyphase(double rate) : step_(std::llround(rate / kSampleRate * 4294967296.0)) {
    const double transition = (kStopBandHz - kPassBandHz) / rate;
    taps_ = (kaiser_length(kStopBandDb, transition) + 7) & ~size_t{7};
    const double cutoff = (kPassBandHz + kStopBandHz) / 2 / rate;  // of the input rate
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
    delta_.resize(kPhases * taps_);
    for (int p = 0; p < kPhases; ++p) {
      for (size_t j = 0; j < taps_; ++j) delta_[p * taps_ + j] = table_[(p + 1) * taps_ + j] - table_[p * taps_ + j];
    }
  }

  size_t taps() const { return taps_; }

  // Appends interleaved output frames for the pending and new input.
  void process(const std::vector<float>& left, const std::vector<float>& right, std::vector<float>* out) {
    pending_[0].insert(pending_[0].end(), left.begin(), left.end());
    pending_[1].insert(pending_[1].end(), right.begin(), right.end());
    const size_t available = pending_[0].size();
    const float* l = pending_[0].data();
    const float* r = pending_[1].data();
    // The outputs that the input now completes, written in place.
    const size_t first = out->size();
    const uint64_t last_start = available >= taps_ ? static_cast<uint64_t>(available - taps_) << 32 : 0;
    const size_t count = available >= taps_ && position_ < last_start + (uint64_t{1} << 32)
                             ? static_cast<size_t>((last_start + (uint64_t{1} << 32) - 1 - position_) / step_) + 1
                             : 0;
    out->resize(first + 2 * count);
    float* y = out->data() + first;
    for (size_t n = 0; n < count; ++n) {
      const size_t start = static_cast<size_t>(position_ >> 32);
      const uint32_t fraction = static_cast<uint32_t>(position_);
      const int phase = static_cast<int>(fraction >> (32 - 9));
      const float weight = static_cast<float>((fraction & ((1u << 23) - 1)) * (1.0 / (1u << 23)));
      const float* row = &table_[phase * taps_];
      const float* slope = &delta_[phase * taps_];
      // Two sums per side keep the additions from waiting on each other.
      Vec4 l0 = {0, 0, 0, 0}, l1 = l0, r0 = l0, r1 = l0;
      const Vec4 w = {weight, weight, weight, weight};
      const float* xl = l + start;
      const float* xr = r + start;
      for (size_t j = 0; j < taps_; j += 8) {
        const Vec4 c0 = load4(row + j) + w * load4(slope + j);
        const Vec4 c1 = load4(row + j + 4) + w * load4(slope + j + 4);
        l0 += c0 * load4(xl + j);
        r0 += c0 * load4(xr + j);
        l1 += c1 * load4(xl + j + 4);
        r1 += c1 * load4(xr + j + 4);
      }
      const Vec4 sl = l0 + l1, sr = r0 + r1;
      y[2 * n] = (sl[0] + sl[1]) + (sl[2] + sl[3]);
      y[2 * n + 1] = (sr[0] + sr[1]) + (sr[2] + sr[3]);
      position_ += step_;
    }
    const size_t consumed = std::min<size_t>(static_cast<size_t>(position_ >> 32), available);
    for (auto& pending : pending_) pending.erase(pending.begin(), pending.begin() + consumed);
    position_ -= static_cast<uint64_t>(consumed) << 32;
  }

 private:
  static_assert(kPhases == 1 << 9, "the phase is the fraction's top 9 bits");
  const uint64_t step_;    // input samples per output, 32.32 fixed point
  uint64_t position_ = 0;  // the next output's window start, same units
  size_t taps_;
  std::vector<float> table_;  // (kPhases + 1) rows of taps_
  std::vector<float> delta_;  // row p + 1 minus row p
  std::vector<float> pending_[2];
};

Resampler::Resampler(double input_rate) : dc_pole_(std::exp(-2 * kPi * kDcCornerHz / kSampleRate)) {
  double rate = input_rate;
  while (rate >= 2.0 * kSampleRate) {
    half_bands_.push_back(std::make_unique<HalfBand>(rate));
    rate /= 2;
  }
  polyphase_rate_ = rate;
  polyphase_ = std::make_unique<Polyphase>(rate);
}

Resampler::~Resampler() = default;

int Resampler::half_band_stages() const { return static_cast<int>(half_bands_.size()); }
size_t Resampler::polyphase_taps() const { return polyphase_->taps(); }

void Resampler::process(const float* left, const float* right, size_t count, std::vector<float>* out) {
  left_.assign(left, left + count);
  right_.assign(right, right + count);
  for (auto& stage : half_bands_) {
    stage->process(&left_, 0);
    stage->process(&right_, 1);
  }
  const size_t first = out->size();
  polyphase_->process(left_, right_, out);
  for (size_t i = first; i < out->size(); i += 2) {
    for (int c = 0; c < 2; ++c) {
      const double x = (*out)[i + c];
      const double y = x - dc_in_[c] + dc_pole_ * dc_out_[c];
      dc_in_[c] = x;
      dc_out_[c] = y;
      (*out)[i + c] = static_cast<float>(y);
    }
  }
}

}  // namespace tools::ay
