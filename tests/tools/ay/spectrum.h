// Spectra of rendered signals, for the chip and filter tests.
#pragma once

#include <cstddef>
#include <vector>

namespace tools_test {

// The magnitude spectrum of `signal` (its length a power of two) under a
// Kaiser window (beta 20, side lobes below -150 dB), scaled so that a sine
// of amplitude 1 on a bin shows as 1. Bin k is k * rate / size Hz.
std::vector<double> magnitude_spectrum(const std::vector<double>& signal);

// The largest magnitude between `low_hz` and `high_hz`, except within
// `guard_hz` of any frequency in `skip_hz`.
double largest_component(const std::vector<double>& spectrum, double rate, double low_hz, double high_hz,
                         const std::vector<double>& skip_hz, double guard_hz);

// The magnitude at `hz` (the largest within two bins of it).
double component_at(const std::vector<double>& spectrum, double rate, double hz);

// The amplitude of the sine at exactly `hz` in `signal`, under the same
// window: free of the bins' scalloping, for comparing levels.
double amplitude_at(const std::vector<double>& signal, double rate, double hz);

double to_db(double ratio);

}  // namespace tools_test
