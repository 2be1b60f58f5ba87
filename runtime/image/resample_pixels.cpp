#include "runtime/image/resample_pixels.h"

#include <cmath>

#include "runtime/window/runtime_heap.h"

static double mitchell(double x) {
  const double b = 1.0 / 3.0, c = 1.0 / 3.0;
  x = std::fabs(x);
  if (x < 1)
    return ((12 - 9 * b - 6 * c) * x * x * x + (-18 + 12 * b + 6 * c) * x * x + (6 - 2 * b)) / 6;
  if (x < 2)
    return ((-b - 6 * c) * x * x * x + (6 * b + 30 * c) * x * x + (-12 * b - 48 * c) * x + (8 * b + 24 * c)) / 6;
  return 0;
}

static double triangle(double x) {
  x = std::fabs(x);
  return x < 1 ? 1 - x : 0;
}

// The source pixels and weights behind each output pixel along one axis:
// output j reads taps_per_output weights from first[j] on.
struct AxisWeights {
  int32_t taps_per_output;
  int32_t* first;
  int32_t* count;
  double* weights;
};

static void free_axis(AxisWeights* axis) {
  runtime_free(axis->first);
  runtime_free(axis->count);
  runtime_free(axis->weights);
}

static bool build_axis(AxisWeights* axis, int32_t in, int32_t out, int32_t filter) {
  double (*kernel)(double) = filter == RESAMPLE_CUBIC ? mitchell : triangle;
  const double support = filter == RESAMPLE_CUBIC ? 2.0 : 1.0;
  const double scale = static_cast<double>(out) / in;
  // Shrinking stretches the kernel so that it spans 1 / scale source pixels.
  const double kernel_scale = scale < 1 ? scale : 1;
  const double reach = support / kernel_scale;
  axis->taps_per_output = static_cast<int32_t>(std::ceil(2 * reach)) + 1;
  axis->first = static_cast<int32_t*>(runtime_alloc(sizeof(int32_t) * out));
  axis->count = static_cast<int32_t*>(runtime_alloc(sizeof(int32_t) * out));
  axis->weights = static_cast<double*>(runtime_alloc(sizeof(double) * out * axis->taps_per_output));
  if (!axis->first || !axis->count || !axis->weights) {
    free_axis(axis);
    return false;
  }
  for (int32_t j = 0; j < out; j++) {
    const double centre = (j + 0.5) / scale - 0.5;
    int32_t lo = static_cast<int32_t>(std::ceil(centre - reach));
    int32_t hi = static_cast<int32_t>(std::floor(centre + reach));
    if (lo < 0) lo = 0;
    if (hi > in - 1) hi = in - 1;
    if (hi - lo + 1 > axis->taps_per_output) hi = lo + axis->taps_per_output - 1;
    double* w = axis->weights + static_cast<size_t>(j) * axis->taps_per_output;
    double sum = 0;
    for (int32_t i = lo; i <= hi; i++) sum += (w[i - lo] = kernel((i - centre) * kernel_scale));
    if (hi < lo || sum <= 0) {
      // Nothing in reach carries weight: take the nearest pixel.
      int32_t nearest = static_cast<int32_t>(std::floor(centre + 0.5));
      lo = nearest < 0 ? 0 : (nearest > in - 1 ? in - 1 : nearest);
      hi = lo;
      w[0] = sum = 1;
    }
    for (int32_t i = 0; i <= hi - lo; i++) w[i] /= sum;
    axis->first[j] = lo;
    axis->count[j] = hi - lo + 1;
  }
  return true;
}

static uint8_t to_channel(double value) {
  value += 0.5;
  if (value <= 0) return 0;
  if (value >= 255) return 255;
  return static_cast<uint8_t>(value);
}

// One pass: `lines` lines of `axis` outputs each. Along a line, consecutive
// pixels are `in_step` / `out_step` bytes apart; lines `in_line` / `out_line`.
static void filter_lines(const AxisWeights* axis, int32_t out_length, int32_t lines, int32_t channels,
                         const uint8_t* in, ptrdiff_t in_step, ptrdiff_t in_line, uint8_t* out, ptrdiff_t out_step,
                         ptrdiff_t out_line) {
  for (int32_t line = 0; line < lines; line++) {
    const uint8_t* in_row = in + line * in_line;
    uint8_t* out_row = out + line * out_line;
    for (int32_t j = 0; j < out_length; j++) {
      const double* w = axis->weights + static_cast<size_t>(j) * axis->taps_per_output;
      const uint8_t* tap = in_row + axis->first[j] * in_step;
      for (int32_t c = 0; c < channels; c++) {
        double sum = 0;
        for (int32_t k = 0; k < axis->count[j]; k++) sum += w[k] * tap[k * in_step + c];
        out_row[j * out_step + c] = to_channel(sum);
      }
    }
  }
}

int32_t resample_pixels(const uint8_t* source, int32_t source_width, int32_t source_height, int32_t source_stride,
                        uint8_t* destination, int32_t destination_width, int32_t destination_height,
                        int32_t destination_stride, int32_t channels, int32_t filter) {
  if (!source || !destination || source_width < 1 || source_height < 1 || destination_width < 1 ||
      destination_height < 1 || channels < 1 || channels > 4 ||
      (filter != RESAMPLE_CUBIC && filter != RESAMPLE_TRIANGLE))
    return 0;
  AxisWeights across = {}, down = {};
  if (!build_axis(&across, source_width, destination_width, filter)) return 0;
  if (!build_axis(&down, source_height, destination_height, filter)) {
    free_axis(&across);
    return 0;
  }
  const ptrdiff_t middle_line = static_cast<ptrdiff_t>(destination_width) * channels;
  auto* middle = static_cast<uint8_t*>(runtime_alloc(static_cast<size_t>(middle_line) * source_height));
  if (middle) {
    filter_lines(&across, destination_width, source_height, channels, source, channels, source_stride, middle,
                 channels, middle_line);
    filter_lines(&down, destination_height, destination_width, channels, middle, middle_line, channels,
                 destination, destination_stride, channels);
    runtime_free(middle);
  }
  free_axis(&across);
  free_axis(&down);
  return middle ? 1 : 0;
}
