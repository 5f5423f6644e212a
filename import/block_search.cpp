#include "import/block_search.h"

#include <algorithm>
#include <cmath>

namespace brisca {
namespace {

constexpr int kMinLevel = -128, kMaxLevel = 127;
constexpr double kFullByte = 127.5 * 256.0;  // the largest step a byte makes at gain 1

// The highest level (finest step) at which bytes of +-127.5 still reach `peak`.
int level_for_peak(double peak) {
  if (!(peak > 0.0)) return kMaxLevel;
  const double level = std::floor(20.0 * std::log10(kFullByte / peak));
  return static_cast<int>(std::clamp(level, double{kMinLevel}, double{kMaxLevel}));
}

BlockChoice plain(const BlockProblem& p) {
  double peak = 0.0;
  for (std::size_t j = 0; j < p.scored; ++j) peak = std::max(peak, std::abs(p.want[j]));
  BlockChoice c;
  c.level = level_for_peak(peak);
  c.error = quantize_nearest(p, c.level, 0, HUGE_VAL, &c.bytes);
  return c;
}

BlockChoice grid(const BlockProblem& p) {
  static constexpr int kFeedbacks[] = {0, 32, 64, 96, 112, 120, 124, 126, 127};
  BlockChoice best;
  best.error = HUGE_VAL;
  for (int feedback : kFeedbacks) {
    for (int level = -12; level <= 72; ++level) {
      const double e = quantize_nearest(p, level, feedback, best.error, nullptr);
      if (e < best.error) {
        best.error = e;
        best.level = level;
        best.feedback = feedback;
      }
    }
  }
  best.error = quantize_nearest(p, best.level, best.feedback, HUGE_VAL, &best.bytes);
  return best;
}

}  // namespace

BlockChoice choose_block(const BlockProblem& p, EncoderSearch search) {
  switch (search) {
    case EncoderSearch::kPlain:
      return plain(p);
    case EncoderSearch::kGrid:
    case EncoderSearch::kBest:
      break;
  }
  return grid(p);
}

}  // namespace brisca
