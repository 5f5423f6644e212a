// The block decoder written out step by step the plain way, with its ring of six values stored
// twice, for checking the fast decoder against sample for sample.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "preview/decoder.h"
#include "preview/kernel.h"

namespace brisca::test {

inline double reference_interp(const double* window, double frac) {
  const double* row = kernel_doubles() + static_cast<int>(std::trunc(frac * 512)) * 8;
  double sum = 0.0;
  for (int k = 0; k < 6; ++k) sum = sum + row[k] * window[k];
  return sum;
}

// Straight from the block format, unbounded; the caller keeps phase_carry * step below 1.
inline std::vector<std::int16_t> reference_decode(const UnpackedBlock& block, double& phase_carry) {
  auto sbyte = [&](std::size_t at) {
    return static_cast<double>(static_cast<std::int8_t>(block[at]));
  };
  const double step = std::pow(2.0, -sbyte(1016) / 8);
  const double gain = std::pow(10.0, -sbyte(1017) / 20);
  const double coef = sbyte(1018) / 128;
  double ring[12];
  for (int k = 0; k < 6; ++k)
    ring[k] = ring[k + 6] =
        static_cast<std::int16_t>((block[928 + 2 * k] << 8) | block[929 + 2 * k]);
  int s = 0;
  double frac = phase_carry * step, acc = 0, last = 0;
  std::size_t i = 6;
  std::vector<std::int16_t> out;
  while (i < 886) {
    double v = reference_interp(ring + s, frac);
    if (v > 32767) v = 32767;
    if (v < -32767) v = -32767;
    out.push_back(static_cast<std::int16_t>(std::trunc(v)));
    acc = acc + step;
    double n = 0;
    frac = std::modf(acc, &n);
    if (n > last) {
      last = n;
      const double y = static_cast<std::int8_t>(block[i]) * 256 * gain + ring[s + 5] * coef;
      ring[s + 6] = y;
      ring[s] = y;
      i = i + 1;
      s = s + 1;
      if (s == 6) s = 0;
    }
  }
  phase_carry = frac / step;
  return out;
}

}  // namespace brisca::test
