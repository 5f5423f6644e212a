#include "import/block_search.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

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
  c.error = quantize_nearest(p, c.level, 0, HUGE_VAL, nullptr);
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
  return best;
}

// The largest filter input the block asks for at this feedback when the filter follows the
// wanted values exactly: the byte range must reach it, so it bounds the level from above.
double peak_residual(const BlockProblem& p, int feedback) {
  const double coef = feedback / 128.0;
  double prev = p.start, peak = 0.0;
  for (std::size_t j = 0; j < p.scored; ++j) {
    peak = std::max(peak, std::abs(p.want[j] - prev * coef));
    prev = p.want[j];
  }
  return peak;
}

// The feedback byte with the least peak residual. The peak is the largest of |a_j - c b_j|, a
// convex function of c, so comparing neighbours halves the range each time.
int least_peak_feedback(const BlockProblem& p) {
  int lo = -128, hi = 127;
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (peak_residual(p, mid) <= peak_residual(p, mid + 1))
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

// Closed-loop trials in batches, each (level, feedback) pair run at most once per block.
class Trials {
 public:
  explicit Trials(const BlockProblem& p) : p_(p) { best_.error = HUGE_VAL; }
  Trials(const BlockProblem& p, const BlockChoice& known) : p_(p), best_(known) {
    tried_.push_back({known.level, known.feedback});
  }
  // Runs the pairs not run yet; true when one of them is the new best.
  bool run(std::initializer_list<LoopSetting> settings) {
    return run(std::vector<LoopSetting>(settings));
  }
  bool run(const std::vector<LoopSetting>& settings) {
    std::vector<LoopSetting> fresh;
    for (LoopSetting s : settings) {
      s.level = std::clamp(s.level, kMinLevel, kMaxLevel);
      s.feedback = std::clamp(s.feedback, -128, 127);
      if (!was_tried(s) && !is_in(fresh, s)) fresh.push_back(s);
    }
    bool improved = false;
    for (std::size_t i = 0; i < fresh.size(); i += kBatchLanes) {
      const std::size_t n = std::min(kBatchLanes, fresh.size() - i);
      double errors[kBatchLanes];
      quantize_nearest_batch(p_, fresh.data() + i, n, best_.error, errors);
      for (std::size_t k = 0; k < n; ++k) {
        tried_.push_back(fresh[i + k]);
        if (errors[k] < best_.error) {
          best_.error = errors[k];
          best_.level = fresh[i + k].level;
          best_.feedback = fresh[i + k].feedback;
          improved = true;
        }
      }
    }
    return improved;
  }
  const BlockChoice& best() const { return best_; }

 private:
  static bool is_in(const std::vector<LoopSetting>& v, LoopSetting s) {
    for (const LoopSetting& t : v)
      if (t.level == s.level && t.feedback == s.feedback) return true;
    return false;
  }
  bool was_tried(LoopSetting s) const { return is_in(tried_, s); }
  const BlockProblem& p_;
  BlockChoice best_;
  std::vector<LoopSetting> tried_;
};

// A pattern search over the feedback, at the best level, the next coarser and the two next finer
// ones, with steps of `widest` down to 1.
void pattern_search(Trials& trials, int widest) {
  for (int step = widest; step >= 1;) {
    const int l = trials.best().level, f = trials.best().feedback;
    std::vector<LoopSetting> around;
    for (int level = l - 1; level <= l + 2; ++level) {
      around.push_back({level, f + step});
      around.push_back({level, f - step});
    }
    if (!trials.run(around)) step /= 2;
  }
}

// Starts at the feedback of least peak residual and the finest level that holds that peak (and
// its neighbours: a few overloaded bytes may cost less than a finer step saves), then searches
// the feedback around it.
BlockChoice quick(const BlockProblem& p) {
  Trials trials(p);
  const int f = least_peak_feedback(p);
  const int l = level_for_peak(peak_residual(p, f));
  trials.run({{l - 2, f}, {l - 1, f}, {l, f}, {l + 1, f}, {l + 2, f}, {l + 3, f}, {l + 4, f}});
  pattern_search(trials, 16);
  return trials.best();
}

}  // namespace

BlockChoice refine_block(const BlockProblem& p, const BlockChoice& found) {
  // Every eighth feedback byte at the level found and its two neighbours, then a finer search
  // around the best of them: the error over the feedback has more than one valley when bytes
  // overload.
  Trials trials(p, found);
  std::vector<LoopSetting> sweep;
  for (int l = found.level - 1; l <= found.level + 1; ++l)
    for (int f = -128; f < 128; f += 8) sweep.push_back({l, f + (found.feedback & 7)});
  trials.run(sweep);
  pattern_search(trials, 4);
  return trials.best();
}

BlockChoice choose_block(const BlockProblem& p, EncoderSearch search) {
  switch (search) {
    case EncoderSearch::kPlain:
      return plain(p);
    case EncoderSearch::kGrid:
      return grid(p);
    case EncoderSearch::kBest:
      break;
  }
  return quick(p);
}

}  // namespace brisca
