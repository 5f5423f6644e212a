#include "import/block_quantizer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brisca {
namespace {

// Adding and taking away 1.5 x 2^52 rounds a double of magnitude below 2^51 to the nearest whole
// number (ties to even), without a call and without leaving the floating-point unit.
constexpr double kRounder = 6755399441055744.0;

// The byte nearest to v, as a double: v clamped to the byte range, then rounded.
inline double nearest_byte(double v) {
  v = v < -128.0 ? -128.0 : v;  // also NaN
  v = v > 127.0 ? 127.0 : v;
  return (v + kRounder) - kRounder;
}

struct Loop {
  double gain, coef, unit, inv_unit;
  Loop(int level, int feedback)
      : gain(gain_for_level(level)),
        coef(feedback / 128.0),
        unit(256.0 * gain),
        inv_unit(1.0 / unit) {}
  // The decoder's own expression: (byte x 256) x gain + previous x coefficient. Scaling by 256
  // is exact, so byte x (256 x gain) is the same double.
  double next(double byte, double prev) const { return byte * unit + prev * coef; }
};

}  // namespace

double quantize_nearest(const BlockProblem& p, int level, int feedback, double bound,
                        SampleBytes* bytes) {
  const Loop loop(level, feedback);
  double prev = p.start, error = 0.0;
  for (std::size_t j = 0; j < kSamplesPerBlock; ++j) {
    const double byte = nearest_byte((p.want[j] - prev * loop.coef) * loop.inv_unit);
    const double y = loop.next(byte, prev);
    if (bytes) (*bytes)[j] = static_cast<std::int8_t>(byte);
    if (j < p.scored) {
      error += heard_error(p, y, p.x[j]);
      if (error > bound) return error;
    }
    prev = y;
  }
  return error;
}

namespace {

// Lanes of a batch: each loop waits on its own previous value, so loops run side by side keep
// the processor busy while each one waits. Only the scored samples are run: the rest change no
// error.
struct Lanes {
  // coef_inv = coefficient / unit: the filter's feed in byte steps.
  alignas(16) double coef[kBatchLanes], unit[kBatchLanes], inv_unit[kBatchLanes],
      coef_inv[kBatchLanes];
  alignas(16) double prev[kBatchLanes], error[kBatchLanes];
};

#if defined(__SSE2__)
template <bool kTruncating>
void run_lanes(const BlockProblem& p, double bound, Lanes& s) {
  constexpr std::size_t kPairs = kBatchLanes / 2;
  __m128d coef[kPairs], unit[kPairs], inv[kPairs], coef_inv[kPairs], prev[kPairs], error[kPairs];
  for (std::size_t i = 0; i < kPairs; ++i) {
    coef[i] = _mm_load_pd(s.coef + 2 * i);
    unit[i] = _mm_load_pd(s.unit + 2 * i);
    inv[i] = _mm_load_pd(s.inv_unit + 2 * i);
    coef_inv[i] = _mm_load_pd(s.coef_inv + 2 * i);
    prev[i] = _mm_load_pd(s.prev + 2 * i);
    error[i] = _mm_setzero_pd();
  }
  const __m128d lo = _mm_set1_pd(-128.0), hi = _mm_set1_pd(127.0), rounder = _mm_set1_pd(kRounder);
  const __m128d top = _mm_set1_pd(32767.0), bottom = _mm_set1_pd(-32767.0), w = _mm_set1_pd(p.w);
  constexpr std::size_t kCheck = 64;  // samples between looks at the bound
  for (std::size_t from = 0; from < p.scored; from += kCheck) {
    const std::size_t to = std::min(from + kCheck, p.scored);
    for (std::size_t j = from; j < to; ++j) {
      const __m128d want = _mm_set1_pd(p.want[j]), x = _mm_set1_pd(p.x[j]);
      // Unrolled, so that each lane's previous value and error stay in registers.
#pragma GCC unroll 8
      for (std::size_t i = 0; i < kPairs; ++i) {
        // The byte wanted, (want - feed) / unit, formed as want / unit - prev x coef / unit so
        // that fewer steps wait on the previous value. Any byte will do here (this only picks
        // it); the filter value below is the decoder's own expression.
        const __m128d feed = _mm_mul_pd(prev[i], coef[i]);
        __m128d d = _mm_sub_pd(_mm_mul_pd(want, inv[i]), _mm_mul_pd(prev[i], coef_inv[i]));
        d = _mm_min_pd(_mm_max_pd(d, lo), hi);
        const __m128d byte = _mm_sub_pd(_mm_add_pd(d, rounder), rounder);
        const __m128d y = _mm_add_pd(_mm_mul_pd(byte, unit[i]), feed);
        __m128d v = _mm_mul_pd(w, y);
        if constexpr (kTruncating) {
          v = _mm_max_pd(_mm_min_pd(v, top), bottom);
          v = _mm_cvtepi32_pd(_mm_cvttpd_epi32(v));
        }
        const __m128d e = _mm_sub_pd(v, x);
        error[i] = _mm_add_pd(error[i], _mm_mul_pd(e, e));
        prev[i] = y;
      }
    }
    for (std::size_t i = 0; i < kPairs; ++i) _mm_store_pd(s.error + 2 * i, error[i]);
    if (std::all_of(s.error, s.error + kBatchLanes, [&](double e) { return e > bound; })) return;
  }
}
#else
template <bool kTruncating>
void run_lanes(const BlockProblem& p, double bound, Lanes& s) {
  for (std::size_t i = 0; i < kBatchLanes; ++i) s.error[i] = 0.0;
  for (std::size_t j = 0; j < p.scored; ++j) {
    for (std::size_t i = 0; i < kBatchLanes; ++i) {
      const double feed = s.prev[i] * s.coef[i];
      const double byte = nearest_byte((p.want[j] - feed) * s.inv_unit[i]);
      const double y = byte * s.unit[i] + feed;
      s.error[i] += heard_error(p, y, p.x[j]);
      s.prev[i] = y;
    }
    if ((j + 1) % 64 == 0 &&
        std::all_of(s.error, s.error + kBatchLanes, [&](double e) { return e > bound; }))
      return;
  }
}
#endif

}  // namespace

void quantize_nearest_batch(const BlockProblem& p, const LoopSetting* settings, std::size_t n,
                            double bound, double* errors) {
  Lanes s;
  for (std::size_t i = 0; i < kBatchLanes; ++i) {
    const LoopSetting& setting = settings[i < n ? i : 0];  // spare lanes repeat the first
    const Loop loop(setting.level, setting.feedback);
    s.coef[i] = loop.coef;
    s.unit[i] = loop.unit;
    s.inv_unit[i] = loop.inv_unit;
    s.coef_inv[i] = loop.coef * loop.inv_unit;
    s.prev[i] = p.start;
  }
  if (p.truncating)
    run_lanes<true>(p, bound, s);
  else
    run_lanes<false>(p, bound, s);
  for (std::size_t i = 0; i < n; ++i) errors[i] = s.error[i];
}

namespace {

constexpr std::size_t kPaths = 4;  // paths kept from step to step

// A path of the delayed-decision search as it grows by one byte: its filter value and summed
// error, the path it extends and the byte it took.
struct Grown {
  double prev, error;
  std::uint8_t from;
  std::int8_t byte;
};

// Where each kept path of a step came from, so the best path can be traced back.
struct Back {
  std::uint8_t from = 0;
  std::int8_t byte = 0;
};

}  // namespace

double quantize_trellis(const BlockProblem& p, int level, int feedback, SampleBytes& bytes) {
  const Loop loop(level, feedback);
  std::array<std::array<Back, kPaths>, kSamplesPerBlock> back;
  double prev[kPaths] = {p.start}, error[kPaths] = {0.0};
  std::size_t alive = 1;
  for (std::size_t j = 0; j < p.scored; ++j) {
    // Each path grows by the nearest byte and the next nearest on the other side; the grown
    // paths are kept in order of error by insertion.
    Grown grown[2 * kPaths];
    std::size_t n = 0;
    for (std::size_t i = 0; i < alive; ++i) {
      const double feed = prev[i] * loop.coef;
      const double want = (p.want[j] - feed) * loop.inv_unit;
      const double nearest = nearest_byte(want);
      const double other = nearest_byte(nearest + (want > nearest ? 1.0 : -1.0));
      for (int k = 0; k < (other == nearest ? 1 : 2); ++k) {
        const double byte = k == 0 ? nearest : other;
        const double y = byte * loop.unit + feed;
        const Grown g{y, error[i] + heard_error(p, y, p.x[j]), static_cast<std::uint8_t>(i),
                      static_cast<std::int8_t>(byte)};
        std::size_t at = n++;
        for (; at > 0 && grown[at - 1].error > g.error; --at) grown[at] = grown[at - 1];
        grown[at] = g;
      }
    }
    // Of paths that reach the same filter value only the best can matter.
    alive = 0;
    for (std::size_t i = 0; i < n && alive < kPaths; ++i) {
      bool same = false;
      for (std::size_t k = 0; k < alive && !same; ++k) same = prev[k] == grown[i].prev;
      if (same) continue;
      prev[alive] = grown[i].prev;
      error[alive] = grown[i].error;
      back[j][alive] = {grown[i].from, grown[i].byte};
      ++alive;
    }
  }
  SampleBytes nearest{};
  const double plain = quantize_nearest(p, level, feedback, HUGE_VAL, &nearest);
  if (p.scored == 0 || plain <= error[0]) {
    bytes = nearest;
    return plain;
  }
  std::size_t at = 0;
  for (std::size_t j = p.scored; j-- > 0;) {
    bytes[j] = back[j][at].byte;
    at = back[j][at].from;
  }
  // The bytes after the scored ones are not heard; they follow the nearest loop.
  double y = prev[0];
  for (std::size_t j = p.scored; j < kSamplesPerBlock; ++j) {
    const double byte = nearest_byte((p.want[j] - y * loop.coef) * loop.inv_unit);
    bytes[j] = static_cast<std::int8_t>(byte);
    y = loop.next(byte, y);
  }
  return error[0];
}

}  // namespace brisca
