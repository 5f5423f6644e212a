#include "preview/decoder.h"

#include <algorithm>
#include <array>
#include <cmath>

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
  const double* kernel = kernel_doubles();
  const BlockControls c = block_controls(block);
  const double step = c.step, gain = c.gain, coef = c.coefficient;
  const std::int8_t* in = reinterpret_cast<const std::int8_t*>(block.data() + kSampleOffset);

  alignas(64) double history[kHistory];
  load_start_values(block, history);

  double frac = phase_carry * step;
  int row = row_of(frac);
  std::size_t count = 0;

  if (c.pitch <= 0) {
    // step >= 1: the integer part grows by at least 1 every output, so each output takes one
    // input and the block yields exactly 880 samples. The filter runs in the same loop, one value
    // ahead of the window that needs it.
    const std::size_t n = std::min(room_samples, kSamplesPerBlock);
    double y = history[5];
    double acc = 0.0;
    if (c.pitch == 0) {
      // step 1: the accumulator holds whole numbers, so every output after the first has phase 0
      // and row 0 = (0, 0, w, 0, 0, 0): the sum is exactly w x window[2] (the zero products are
      // zeros of either sign, which change no nonzero sum and truncate to the same sample).
      output[0] = clip_to_sample(kernel_sum(kernel + row * kKernelStride, history));
      for (std::size_t o = 0; o < n; ++o) {
        y = (in[o] * 256.0) * gain + y * coef;
        history[o + 6] = y;
      }
      const double w = kernel[2];
      for (std::size_t o = 1; o < n; ++o) output[o] = clip_to_sample(w * history[o + 2]);
      frac = 0.0;  // the accumulator after n steps of 1.0 is the whole number n
    } else {
      for (std::size_t o = 0; o < n; ++o) {
        output[o] = clip_to_sample(kernel_sum(kernel + row * kKernelStride, history + o));
        y = (in[o] * 256.0) * gain + y * coef;
        history[o + 6] = y;
        acc += step;
        frac = acc - static_cast<double>(static_cast<int>(acc));
        row = static_cast<int>(frac * 512.0);
      }
    }
    count = n;
  } else {
    // step < 1: some outputs take no input. The whole filter first, then the outputs.
    double y = history[5];
    for (std::size_t j = 0; j < kSamplesPerBlock; ++j) {
      y = (in[j] * 256.0) * gain + y * coef;
      history[j + 6] = y;
    }
    // An input is taken each time the accumulator's integer part grows. With step at most
    // 2^(-1/8) it grows by at most 1 per output (acc + step stays below the next whole number but
    // one), so the number of inputs taken is the integer part itself, and no branch is needed.
    double acc = 0.0;
    std::size_t m = 0;  // inputs taken
    while (true) {
      output[count++] = clip_to_sample(kernel_sum(kernel + row * kKernelStride, history + m));
      acc += step;
      const int whole = static_cast<int>(acc);
      frac = acc - whole;
      row = static_cast<int>(frac * 512.0);
      m = static_cast<std::size_t>(whole);
      if (m == kSamplesPerBlock || count == room_samples) break;
    }
  }
  phase_carry = frac / step;
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
