#include "import/resample.h"

#include <soxr.h>

#include <cmath>

namespace brisca {

Result<std::vector<float>> resample(std::span<const float> source, double from_hz, double to_hz) {
  if (source.empty()) return std::vector<float>{};
  if (from_hz == to_hz) return std::vector<float>(source.begin(), source.end());
  const double exact = static_cast<double>(source.size()) * to_hz / from_hz;
  const auto wanted = static_cast<std::size_t>(std::max(1.0, std::round(exact)));
  std::vector<float> out(wanted);
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  std::size_t done = 0;
  soxr_error_t failed = soxr_oneshot(from_hz, to_hz, 1, source.data(), source.size(), nullptr,
                                     out.data(), out.size(), &done, &io, &quality, nullptr);
  if (failed)
    return make_error(ErrorCode::Unsupported, std::string("resampling failed (") + failed + ")");
  // soxr may hand back a sample fewer than the rounded length; the missing end is silence.
  out.resize(std::max<std::size_t>(done, 1));
  return out;
}

}  // namespace brisca
