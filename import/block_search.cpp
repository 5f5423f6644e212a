#include "import/block_search.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <vector>

namespace brisca {
namespace {

constexpr int kMinLevel = -128, kMaxLevel = 127;
// The feedback bytes of the grid encoder.
constexpr int kGridFeedbacks[] = {0, 32, 64, 96, 112, 120, 124, 126, 127};
constexpr double kFullByte = 127.5 * 256.0;  // the largest step a byte makes at gain 1

// The highest level (finest step) at which bytes of +-127.5 still reach `peak`.
int level_for_peak(double peak) {
  if (!(peak > 0.0)) return kMaxLevel;
  const double level = std::floor(20.0 * std::log10(kFullByte / peak));
  return static_cast<int>(std::clamp(level, double{kMinLevel}, double{kMaxLevel}));
}

// The plain encoder: no feedback, the level that holds the block's peak.
BlockChoice plain(const BlockProblem& p) {
  double peak = 0.0;
  for (std::size_t j = 0; j < p.scored; ++j) peak = std::max(peak, std::abs(p.want[j]));
  BlockChoice c;
  c.level = level_for_peak(peak);
  c.error = quantize_nearest(p, c.level, 0, HUGE_VAL, nullptr);
  return c;
}

// The grid encoder: every level from -12 to 72 dB with each of the grid's feedbacks.
BlockChoice grid(const BlockProblem& p) {
  BlockChoice best;
  best.error = HUGE_VAL;
  for (int feedback : kGridFeedbacks) {
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

// The largest filter input the block asks for at two feedbacks when the filter follows the
// wanted values exactly: the byte range must reach it, so it bounds the level from above.
std::array<double, 2> peak_residuals(const BlockProblem& p, int f0, int f1) {
  const double c0 = f0 / 128.0, c1 = f1 / 128.0;
  double prev = p.start, peak0 = 0.0, peak1 = 0.0;
  for (std::size_t j = 0; j < p.scored; ++j) {
    peak0 = std::max(peak0, std::abs(p.want[j] - prev * c0));
    peak1 = std::max(peak1, std::abs(p.want[j] - prev * c1));
    prev = p.want[j];
  }
  return {peak0, peak1};
}

// The feedback byte with the least peak residual. The peak is the largest of |a_j - c b_j|, a
// convex function of c, so comparing neighbours halves the range each time.
int least_peak_feedback(const BlockProblem& p) {
  int lo = -128, hi = 127;
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    const auto peaks = peak_residuals(p, mid, mid + 1);
    if (peaks[0] <= peaks[1])
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
// ones: feedbacks `step` and twice `step` away, with steps of `widest` down to 1 (each a quarter
// of the one before).
void pattern_search(Trials& trials, int widest) {
  for (int step = widest; step >= 1;) {
    const int l = trials.best().level, f = trials.best().feedback;
    std::vector<LoopSetting> around;
    for (int level = l - 1; level <= l + 2; ++level)
      for (int d : {step, -step, 2 * step, -2 * step}) around.push_back({level, f + d});
    if (!trials.run(around)) step /= 4;
  }
}

// The feedback of least peak residual, at the finest level that holds that peak and its
// neighbours: a few overloaded bytes may cost less than a finer step saves.
BlockChoice first_guess(const BlockProblem& p) {
  Trials trials(p);
  const int f = least_peak_feedback(p);
  const int l = level_for_peak(peak_residuals(p, f, f)[0]);
  trials.run({{l - 2, f}, {l - 1, f}, {l, f}, {l + 1, f}, {l + 2, f}, {l + 3, f}, {l + 4, f}});
  return trials.best();
}

}  // namespace

BlockChoice search_block(const BlockProblem& p, const BlockChoice& found) {
  Trials trials(p, found);
  pattern_search(trials, 16);
  return trials.best();
}

BlockChoice refine_block(const BlockProblem& p, const BlockChoice& found) {
  // The error over the feedback has many valleys when bytes overload, so a pattern search can
  // stop in the wrong one: every second feedback byte at the level found, every eighth at its
  // neighbours, and the grid's feedbacks at all three; then a finer search around the best.
  Trials trials(p, found);
  std::vector<LoopSetting> sweep;
  const int l = found.level, odd = found.feedback & 1, eighth = found.feedback & 7;
  for (int f = -128; f < 128; f += 2) sweep.push_back({l, f + odd});
  for (int f = -128; f < 128; f += 8) {
    sweep.push_back({l - 1, f + eighth});
    sweep.push_back({l + 1, f + eighth});
  }
  for (int f : kGridFeedbacks)
    for (int level = l - 1; level <= l + 1; ++level) sweep.push_back({level, f});
  trials.run(sweep);
  pattern_search(trials, 1);
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
  return first_guess(p);
}

}  // namespace brisca
