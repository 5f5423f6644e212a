#include "preview/decoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "preview/kernel.h"

namespace brisca {
namespace {

struct ControlTables {
  std::array<double, 256> step{}, gain{};  // indexed by the control byte + 128
  ControlTables() {
    for (int v = -128; v < 128; ++v) {
      step[static_cast<std::size_t>(v + 128)] = std::exp2(-v / 8.0);
      gain[static_cast<std::size_t>(v + 128)] = std::pow(10.0, -v / 20.0);
    }
  }
};
const ControlTables& control_tables() {
  static const ControlTables tables;
  return tables;
}

inline int signed_byte(std::uint8_t b) {
  return static_cast<std::int8_t>(b);
}

// The kernel sum over one row, from k = 0 upward; -ffp-contract=off keeps each product and each
// partial sum rounded to double.
inline double kernel_sum(const double* w, const double* x) {
  double v = w[0] * x[0];
  v += w[1] * x[1];
  v += w[2] * x[2];
  v += w[3] * x[3];
  v += w[4] * x[4];
  v += w[5] * x[5];
  return v;
}

inline std::int16_t clip_to_sample(double v) {
  v = std::min(v, 32767.0);
  v = std::max(v, -32767.0);
  return static_cast<std::int16_t>(static_cast<int>(v));  // truncation toward zero
}

// Output i = the clipped kernel sum of weights[i] over windows[i]. On x86-64 two outputs go
// side by side in the two lanes of SSE2 registers; each lane multiplies and adds in the same
// order, with the same rounding, as kernel_sum.
void kernel_sums(const double* const* weights, const double* const* windows, std::size_t n,
                 std::int16_t* out) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128d top = _mm_set1_pd(32767.0), bottom = _mm_set1_pd(-32767.0);
  for (; i + 2 <= n; i += 2) {
    const double *w0 = weights[i], *w1 = weights[i + 1];
    const double *x0 = windows[i], *x1 = windows[i + 1];
    __m128d v = _mm_mul_pd(_mm_set_pd(w1[0], w0[0]), _mm_set_pd(x1[0], x0[0]));
    for (int k = 1; k < kKernelTaps; ++k)
      v = _mm_add_pd(v, _mm_mul_pd(_mm_set_pd(w1[k], w0[k]), _mm_set_pd(x1[k], x0[k])));
    v = _mm_max_pd(_mm_min_pd(v, top), bottom);
    const __m128i words = _mm_packs_epi32(_mm_cvttpd_epi32(v), _mm_setzero_si128());
    const std::uint32_t pair = static_cast<std::uint32_t>(_mm_cvtsi128_si32(words));
    std::memcpy(out + i, &pair, sizeof pair);
  }
#endif
  for (; i < n; ++i) out[i] = clip_to_sample(kernel_sum(weights[i], windows[i]));
}

// Row of a phase, kept in 0..511. For 0 <= frac < 1 this is trunc(frac x 512).
inline int row_of(double frac) {
  if (!(frac > 0.0)) return 0;  // also NaN
  if (frac >= 1.0) return kKernelRows - 1;
  return static_cast<int>(frac * 512.0);
}

// Filter history as one straight array: history[0..5] are the block's start values and
// history[6 + j] is the value the filter makes of sample byte j. A ring of six stored
// twice holds, at slots s..s+5, exactly history[m..m+5] once m inputs are taken.
constexpr std::size_t kHistory = 6 + kSamplesPerBlock;

inline void load_start_values(const UnpackedBlock& block, double* history) {
  for (std::size_t k = 0; k < 6; ++k) {
    const std::size_t at = kStartValuesOffset + 2 * k;
    history[k] = static_cast<std::int16_t>((block[at] << 8) | block[at + 1]);
  }
}

// The one-pole filter over the first `inputs` sample bytes: history[6 + j] =
// byte j x 256 x gain + history[5 + j] x coefficient.
void run_filter(const std::int8_t* in, std::size_t inputs, double gain, double coef,
                double* history) {
  double y = history[5];
  for (std::size_t j = 0; j < inputs; ++j) {
    y = (in[j] * 256.0) * gain + y * coef;
    history[j + 6] = y;
  }
}

// Step 1 (pitch byte 0): the accumulator holds whole numbers, so every output after the first
// has phase 0, and row 0 is (0, 0, w, 0, 0, 0): the sum is exactly w x window[2] (the zero
// products are zeros of either sign, which change no nonzero sum and truncate to the same
// sample). Exactly 880 outputs, one input each.
std::size_t decode_step_one(const double* history, std::size_t room, double first_frac,
                            std::int16_t* out) {
  const double* kernel = kernel_doubles();
  const std::size_t n = std::min(room, kSamplesPerBlock);
  out[0] = clip_to_sample(kernel_sum(kernel + row_of(first_frac) * kKernelStride, history));
  const double w = kernel[2];
  for (std::size_t o = 1; o < n; ++o) out[o] = clip_to_sample(w * history[o + 2]);
  return n;
}

struct Phase {
  double step;
  double frac;  // in: phase of the first output; out: the fraction after the last step
};

// The filter's inputs, for a decoder that runs it as it goes.
struct FilterInput {
  const std::int8_t* in;
  double gain, coef;
};

// Any other step. The accumulator grows by step per output and its fraction gives the next
// output's phase. With step >= 1 (kOneInputPerOutput) every output takes one input. With step at
// most 2^(-1/8) the integer part grows by at most 1 per output (acc + step stays below the next
// whole number but one), so the inputs taken are the integer part itself, with no branch.
// The outputs go in chunks: first the kernel row and window of each output of the chunk (the
// accumulator's chain of additions), then the kernel sums, which no longer wait on each other.
template <bool kOneInputPerOutput>
std::size_t decode_resampled(double* history, const FilterInput& filter, std::size_t room,
                             Phase& phase, std::int16_t* out) {
  constexpr std::size_t kChunk = 256;
  const double* kernel = kernel_doubles();
  const double* weights[kChunk];
  const double* windows[kChunk];
  int row = row_of(phase.frac);
  double acc = 0.0, frac = phase.frac;
  std::size_t m = 0, count = 0;  // inputs taken, outputs made
  double y = history[5];
  bool done = false;
  while (!done) {
    std::size_t n = 0;
    while (n < kChunk) {
      weights[n] = kernel + row * kKernelStride;
      windows[n] = history + m;
      ++n;
      acc += phase.step;
      const int whole = static_cast<int>(acc);
      frac = acc - whole;
      row = static_cast<int>(frac * 512.0);
      if constexpr (kOneInputPerOutput) {
        // The filter runs along, one value ahead of the windows that need it.
        y = (filter.in[m] * 256.0) * filter.gain + y * filter.coef;
        history[m + 6] = y;
        m = m + 1;
      } else {
        m = static_cast<std::size_t>(whole);
      }
      if (m == kSamplesPerBlock || count + n == room) {
        done = true;
        break;
      }
    }
    kernel_sums(weights, windows, n, out + count);
    count += n;
  }
  phase.frac = frac;
  return count;
}

}  // namespace

double step_for_pitch(int pitch) {
  return control_tables().step[static_cast<std::size_t>(std::clamp(pitch, -128, 127) + 128)];
}
double gain_for_level(int level) {
  return control_tables().gain[static_cast<std::size_t>(std::clamp(level, -128, 127) + 128)];
}

BlockControls block_controls(const UnpackedBlock& block) {
  BlockControls c;
  c.pitch = signed_byte(block[kPitchOffset]);
  c.level = signed_byte(block[kLevelOffset]);
  c.feedback = signed_byte(block[kFeedbackOffset]);
  c.step = step_for_pitch(c.pitch);
  c.gain = gain_for_level(c.level);
  c.coefficient = c.feedback / 128.0;
  return c;
}

double interp_kernel(const double* window, double frac) {
  return kernel_sum(kernel_doubles() + row_of(frac) * kKernelStride, window);
}

std::size_t decode_block(std::int16_t* output, std::size_t room_samples, const UnpackedBlock& block,
                         double& phase_carry) {
  if (room_samples == 0) return 0;
  const BlockControls c = block_controls(block);
  const std::int8_t* in = reinterpret_cast<const std::int8_t*>(block.data() + kSampleOffset);
  alignas(64) double history[kHistory];
  load_start_values(block, history);
  const FilterInput filter{in, c.gain, c.coefficient};
  Phase phase{c.step, phase_carry * c.step};
  std::size_t count;
  if (c.pitch == 0) {
    // One input per output: the filter never needs more inputs than the room has outputs.
    run_filter(in, std::min(room_samples, kSamplesPerBlock), c.gain, c.coefficient, history);
    count = decode_step_one(history, room_samples, phase.frac, output);
    phase.frac = 0.0;  // the accumulator after whole steps of 1.0 is a whole number
  } else if (c.pitch < 0) {
    count = decode_resampled<true>(history, filter, room_samples, phase, output);
  } else {
    run_filter(in, kSamplesPerBlock, c.gain, c.coefficient, history);
    count = decode_resampled<false>(history, filter, room_samples, phase, output);
  }
  phase_carry = phase.frac / c.step;
  return count * 2;
}

std::size_t block_output_samples(const UnpackedBlock& block) {
  const BlockControls c = block_controls(block);
  if (c.pitch <= 0) return kSamplesPerBlock;
  double acc = 0.0;
  int last = 0;
  std::size_t m = 0, count = 0;
  while (m < kSamplesPerBlock) {
    ++count;
    acc += c.step;
    const int whole = static_cast<int>(acc);
    m += whole > last ? 1 : 0;
    last = whole;
  }
  return count;
}

}  // namespace brisca
