// The closed loop of one data block: given the level and feedback bytes, picks the 880 sample
// bytes so that the decoder's one-pole filter, run exactly as the decoder runs it, follows the
// wanted values, and scores the result by the error of the samples the decoder plays.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "preview/decoder.h"

namespace brisca {

using SampleBytes = std::array<std::int8_t, kSamplesPerBlock>;

struct BlockProblem {
  // Filter value j should be want[j]; the decoder then plays heard(filter value j), which should
  // be x[j] (16-bit scale). Only the first `scored` values are played within the block.
  std::array<double, kSamplesPerBlock> want{};
  std::array<double, kSamplesPerBlock> x{};
  std::size_t scored = kSamplesPerBlock;
  double start = 0.0;       // the filter's value before byte 0: the block's start value 5
  bool truncating = false;  // pitch byte 0: each played sample is w x value, clipped, truncated
  double w = 1.0;           // the decoder's weight for a phase-0 output (kernel row 0)
};

// What the decoder plays for filter value y, and its squared error against x.
inline double heard_error(const BlockProblem& p, double y, double x) {
  double v = p.w * y;
  if (p.truncating) {
    v = v > 32767.0 ? 32767.0 : (v < -32767.0 ? -32767.0 : v);
    v = static_cast<double>(static_cast<int>(v));
  }
  return (v - x) * (v - x);
}

// Runs the loop with each byte the nearest to what the wanted value asks for. Returns the summed
// squared error of the scored samples; stops early, with a result above `bound`, once it passes
// `bound`. bytes may be null when only the error is wanted.
double quantize_nearest(const BlockProblem& p, int level, int feedback, double bound,
                        SampleBytes* bytes);

// Up to kBatchLanes settings run side by side (faster than one after another): errors[i] is the
// error quantize_nearest gives settings[i], or some value above `bound` once every lane is past it.
inline constexpr std::size_t kBatchLanes = 8;
struct LoopSetting {
  int level = 0, feedback = 0;
};
void quantize_nearest_batch(const BlockProblem& p, const LoopSetting* settings, std::size_t n,
                            double bound, double* errors);

// A delayed-decision search of the bytes for the same level and feedback: keeps the best few
// paths of byte choices (each byte the nearest or a neighbour) and returns the best path's
// error, never above quantize_nearest's.
double quantize_trellis(const BlockProblem& p, int level, int feedback, SampleBytes& bytes);

}  // namespace brisca
