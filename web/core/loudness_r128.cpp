// Integrated loudness for the WebAssembly build, which has no libebur128: the same measurement
// (ITU-R BS.1770 K-weighting as one fourth-order filter, 400 ms gating blocks every 100 ms, an
// absolute gate at -70 LUFS and a relative one 10 LU below), and for a sound shorter than one
// block the mean square over a window as long as the sound, as loudness.h says.
#include <cmath>
#include <numbers>
#include <vector>

#include "import/loudness.h"

namespace brisca {
namespace {

constexpr double kGatingBlockSeconds = 0.4;

double energy_to_lufs(double energy) {
  return energy > 0.0 ? 10.0 * std::log10(energy) - 0.691 : -HUGE_VAL;
}

// The K-weighting filter's output for `samples` at `hz`: a high shelf and a high pass, their
// coefficients computed for the rate and multiplied into one filter.
std::vector<double> k_weighted(const double* samples, std::size_t count, double hz) {
  const double pi = std::numbers::pi;
  double f0 = 1681.974450955533, gain = 3.999843853973347, q = 0.7071752369554196;
  double k = std::tan(pi * f0 / hz);
  const double vh = std::pow(10.0, gain / 20.0);
  const double vb = std::pow(vh, 0.4996667741545416);
  const double a0 = 1.0 + k / q + k * k;
  const double pb[3] = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0,
                        (vh - vb * k / q + k * k) / a0};
  const double pa[3] = {1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
  f0 = 38.13547087602444;
  q = 0.5003270373238773;
  k = std::tan(pi * f0 / hz);
  const double rb[3] = {1.0, -2.0, 1.0};
  const double ra[3] = {1.0, 2.0 * (k * k - 1.0) / (1.0 + k / q + k * k),
                        (1.0 - k / q + k * k) / (1.0 + k / q + k * k)};
  const double b[5] = {pb[0] * rb[0], pb[0] * rb[1] + pb[1] * rb[0],
                       pb[0] * rb[2] + pb[1] * rb[1] + pb[2] * rb[0], pb[1] * rb[2] + pb[2] * rb[1],
                       pb[2] * rb[2]};
  const double a[5] = {1.0, pa[0] * ra[1] + pa[1] * ra[0],
                       pa[0] * ra[2] + pa[1] * ra[1] + pa[2] * ra[0], pa[1] * ra[2] + pa[2] * ra[1],
                       pa[2] * ra[2]};
  std::vector<double> out(count);
  double s[5] = {};
  for (std::size_t i = 0; i < count; ++i) {
    s[0] = samples[i] - a[1] * s[1] - a[2] * s[2] - a[3] * s[3] - a[4] * s[4];
    out[i] = b[0] * s[0] + b[1] * s[1] + b[2] * s[2] + b[3] * s[3] + b[4] * s[4];
    for (int j = 4; j > 0; --j) s[j] = s[j - 1];
  }
  return out;
}

double gated(const std::vector<double>& y, std::size_t hundred_ms) {
  const std::size_t block = 4 * hundred_ms;
  const double absolute = std::pow(10.0, (-70.0 + 0.691) / 10.0);
  std::vector<double> blocks;
  for (std::size_t end = block; end <= y.size(); end += hundred_ms) {
    double sum = 0.0;
    for (std::size_t i = end - block; i < end; ++i) sum += y[i] * y[i];
    sum /= static_cast<double>(block);
    if (sum >= absolute) blocks.push_back(sum);
  }
  if (blocks.empty()) return -HUGE_VAL;
  double total = 0.0;
  for (double z : blocks) total += z;
  const double relative = total / static_cast<double>(blocks.size()) * 0.1;
  double kept = 0.0;
  std::size_t n = 0;
  for (double z : blocks) {
    if (z < relative) continue;
    kept += z;
    ++n;
  }
  return n == 0 ? -HUGE_VAL : energy_to_lufs(kept / static_cast<double>(n));
}

double measure(const double* samples, std::size_t count, double rate) {
  if (count == 0 || !(rate > 0.0)) return -HUGE_VAL;
  const auto hz = static_cast<std::size_t>(std::lround(rate));
  const std::vector<double> y = k_weighted(samples, count, static_cast<double>(hz));
  if (static_cast<double>(count) >= kGatingBlockSeconds * static_cast<double>(hz))
    return gated(y, (hz + 5) / 10);
  // The window covers the whole sound; the frames of it before the sound are zeros.
  const auto window_ms = static_cast<std::size_t>(
      std::ceil(static_cast<double>(count) * 1000.0 / static_cast<double>(hz)));
  const std::size_t frames = hz * window_ms / 1000;
  if (frames == 0) return -HUGE_VAL;
  double sum = 0.0;
  for (std::size_t i = count > frames ? count - frames : 0; i < count; ++i) sum += y[i] * y[i];
  const double lufs = energy_to_lufs(sum / static_cast<double>(frames));
  return std::isfinite(lufs) ? lufs : -HUGE_VAL;
}

}  // namespace

double loudness_lufs(std::span<const float> samples, double rate) {
  std::vector<double> d(samples.begin(), samples.end());
  return measure(d.data(), d.size(), rate);
}

double loudness_lufs(std::span<const std::int16_t> samples) {
  std::vector<double> d(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) d[i] = samples[i] / 32768.0;
  return measure(d.data(), d.size(), 44100.0);
}

}  // namespace brisca
