// Sample-rate conversion for the WebAssembly build, which has no libsoxr: a windowed-sinc
// interpolator (Blackman window, 24 zero crossings a side, cut off at the lower Nyquist
// frequency), linear phase and centred on each output sample's source position, so the result
// lines up with the source sample for sample as the desktop's does. Equal rates copy the source,
// as there; other rates give samples close to the desktop's but not equal to them.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "import/resample.h"

namespace brisca {

Result<std::vector<float>> resample(std::span<const float> source, double from_hz, double to_hz) {
  if (source.empty()) return std::vector<float>{};
  if (from_hz == to_hz) return std::vector<float>(source.begin(), source.end());
  if (!(from_hz > 0) || !(to_hz > 0))
    return make_error(ErrorCode::Unsupported, "resampling failed (a rate is not positive)");
  const double exact = static_cast<double>(source.size()) * to_hz / from_hz;
  const auto wanted = static_cast<std::size_t>(std::max(1.0, std::round(exact)));
  const double cutoff = std::min(1.0, to_hz / from_hz);  // of the source's Nyquist frequency
  constexpr double kCrossings = 24.0;
  const double half = kCrossings / cutoff;  // source samples either side
  const double pi = std::numbers::pi;
  const auto n = static_cast<long>(source.size());
  std::vector<float> out(wanted);
  for (std::size_t i = 0; i < wanted; ++i) {
    const double at = static_cast<double>(i) * from_hz / to_hz;
    const long first = std::max(0L, static_cast<long>(std::ceil(at - half)));
    const long last = std::min(n - 1, static_cast<long>(std::floor(at + half)));
    double sum = 0.0;
    for (long k = first; k <= last; ++k) {
      const double d = at - static_cast<double>(k);
      const double x = pi * cutoff * d;
      const double sinc = x == 0.0 ? 1.0 : std::sin(x) / x;
      const double w = 0.42 + 0.5 * std::cos(pi * d / half) + 0.08 * std::cos(2 * pi * d / half);
      sum += source[static_cast<std::size_t>(k)] * cutoff * sinc * w;
    }
    out[i] = static_cast<float>(sum);
  }
  return out;
}

}  // namespace brisca
