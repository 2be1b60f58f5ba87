#include "tests/tools/ay/spectrum.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace tools_test {
namespace {

constexpr double kPi = 3.14159265358979323846;

void fft(std::vector<std::complex<double>>& a) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t length = 2; length <= n; length <<= 1) {
    const std::complex<double> w(std::cos(-2 * kPi / length), std::sin(-2 * kPi / length));
    for (size_t i = 0; i < n; i += length) {
      std::complex<double> wk(1);
      for (size_t k = 0; k < length / 2; ++k) {
        const std::complex<double> u = a[i + k], v = a[i + k + length / 2] * wk;
        a[i + k] = u + v;
        a[i + k + length / 2] = u - v;
        wk *= w;
      }
    }
  }
}

double bessel_i0(double x) {
  double sum = 1, term = 1;
  for (int k = 1; k < 200; ++k) {
    term *= (x / (2 * k)) * (x / (2 * k));
    sum += term;
    if (term < sum * 1e-18) break;
  }
  return sum;
}

// The window for `n` samples, made once per size.
const std::vector<double>& kaiser_window(size_t n) {
  static std::vector<double> window;
  if (window.size() != n) {
    const double beta = 20;
    window.resize(n);
    for (size_t i = 0; i < n; ++i) {
      const double x = 2.0 * i / (n - 1) - 1;
      window[i] = bessel_i0(beta * std::sqrt(std::max(0.0, 1 - x * x))) / bessel_i0(beta);
    }
  }
  return window;
}

size_t bin_of(double hz, double rate, size_t size) { return static_cast<size_t>(std::lround(hz * size / rate)); }

}  // namespace

std::vector<double> magnitude_spectrum(const std::vector<double>& signal) {
  const size_t n = signal.size();
  const std::vector<double>& window = kaiser_window(n);
  std::vector<std::complex<double>> a(n);
  double window_sum = 0;
  for (size_t i = 0; i < n; ++i) {
    a[i] = signal[i] * window[i];
    window_sum += window[i];
  }
  fft(a);
  std::vector<double> magnitude(n / 2);
  for (size_t k = 0; k < n / 2; ++k) magnitude[k] = 2 * std::abs(a[k]) / window_sum;
  return magnitude;
}

double largest_component(const std::vector<double>& spectrum, double rate, double low_hz, double high_hz,
                         const std::vector<double>& skip_hz, double guard_hz) {
  const size_t size = 2 * spectrum.size();
  double largest = 0;
  for (size_t k = bin_of(low_hz, rate, size); k <= bin_of(high_hz, rate, size) && k < spectrum.size(); ++k) {
    const double hz = k * rate / size;
    const bool skipped = std::any_of(skip_hz.begin(), skip_hz.end(), [&](double f) { return std::fabs(hz - f) < guard_hz; });
    if (!skipped) largest = std::max(largest, spectrum[k]);
  }
  return largest;
}

double component_at(const std::vector<double>& spectrum, double rate, double hz) {
  const size_t size = 2 * spectrum.size();
  const size_t centre = bin_of(hz, rate, size);
  double largest = 0;
  for (size_t k = centre > 2 ? centre - 2 : 0; k <= centre + 2 && k < spectrum.size(); ++k) largest = std::max(largest, spectrum[k]);
  return largest;
}

double amplitude_at(const std::vector<double>& signal, double rate, double hz) {
  const size_t n = signal.size();
  const std::vector<double>& window = kaiser_window(n);
  std::complex<double> sum = 0;
  double window_sum = 0;
  const double step = -2 * kPi * hz / rate;
  for (size_t i = 0; i < n; ++i) {
    const double phase = step * static_cast<double>(i);
    sum += signal[i] * window[i] * std::complex<double>(std::cos(phase), std::sin(phase));
    window_sum += window[i];
  }
  return 2 * std::abs(sum) / window_sum;
}

double to_db(double ratio) { return 20 * std::log10(std::max(ratio, 1e-30)); }

}  // namespace tools_test
