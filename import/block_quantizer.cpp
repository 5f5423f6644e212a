#include "import/block_quantizer.h"

#include <cmath>

namespace brisca {
namespace {

inline std::int8_t nearest_byte(double v) {
  if (!(v > -128.0)) return -128;  // also NaN
  if (v >= 127.0) return 127;
  return static_cast<std::int8_t>(std::lround(v));
}

}  // namespace

double quantize_nearest(const BlockProblem& p, int level, int feedback, double bound,
                        SampleBytes* bytes) {
  const double gain = gain_for_level(level);
  const double coef = feedback / 128.0;
  const double unit = 256.0 * gain;
  const double inv_unit = 1.0 / unit;
  double prev = p.start, error = 0.0;
  for (std::size_t j = 0; j < kSamplesPerBlock; ++j) {
    const std::int8_t byte = nearest_byte((p.want[j] - prev * coef) * inv_unit);
    const double y = (byte * 256.0) * gain + prev * coef;  // the decoder's own expression
    if (bytes) (*bytes)[j] = byte;
    if (j < p.scored) {
      error += heard_error(p, y, p.x[j]);
      if (error > bound) return error;
    }
    prev = y;
  }
  return error;
}

double quantize_trellis(const BlockProblem& p, int level, int feedback, SampleBytes& bytes) {
  return quantize_nearest(p, level, feedback, HUGE_VAL, &bytes);
}

}  // namespace brisca
