#include "import/loudness.h"

#include <ebur128.h>

#include <cmath>
#include <memory>
#include <vector>

namespace brisca {
namespace {

struct FreeState {
  void operator()(ebur128_state* st) const { ebur128_destroy(&st); }
};

constexpr double kGatingBlockSeconds = 0.4;

double measure(const double* samples, std::size_t count, double rate) {
  if (count == 0 || !(rate > 0.0)) return -HUGE_VAL;
  const auto hz = static_cast<unsigned long>(std::lround(rate));
  std::unique_ptr<ebur128_state, FreeState> st(ebur128_init(1, hz, EBUR128_MODE_I));
  if (!st) return -HUGE_VAL;
  const bool short_sound =
      static_cast<double>(count) < kGatingBlockSeconds * static_cast<double>(hz);
  // The window covers the whole sound (the part of it before the sound holds zeros, which add
  // nothing to the sum and at most a millisecond to the length).
  const auto window_ms = static_cast<unsigned long>(
      std::ceil(static_cast<double>(count) * 1000.0 / static_cast<double>(hz)));
  if (ebur128_add_frames_double(st.get(), samples, count) != EBUR128_SUCCESS) return -HUGE_VAL;
  double lufs = -HUGE_VAL;
  const int result = short_sound ? ebur128_loudness_window(st.get(), window_ms, &lufs)
                                 : ebur128_loudness_global(st.get(), &lufs);
  return result == EBUR128_SUCCESS && std::isfinite(lufs) ? lufs : -HUGE_VAL;
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
