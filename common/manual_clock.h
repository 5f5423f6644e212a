// A clock whose time moves only when told: tests advance it and check what happened at each
// moment, without sleeping. Posted tasks (from any thread) run on the next advance() or
// run_posted(), on the thread that calls it.
#pragma once

#include <algorithm>

#include "common/clock.h"
#include "common/timed_calls.h"

namespace brisca {

class ManualClock final : public Clock {
 public:
  TimePoint now() const override { return now_; }
  // Time since the clock was made.
  Duration elapsed() const { return std::chrono::duration_cast<Duration>(now_ - TimePoint{}); }

  TimerId call_after(Duration delay, Task task) override {
    return calls_.add_once(now_ + delay, std::move(task));
  }
  TimerId call_every(Duration period, Task task) override {
    return calls_.add_repeating(now_ + period, period, std::move(task));
  }
  void cancel(TimerId id) override { calls_.cancel(id); }
  void post(Task task) override { posted_.push(std::move(task)); }

  // Runs posted tasks and calls due now, until none is left. Returns how many ran.
  int run_posted() { return advance(Duration::zero()); }

  // Moves time forward by `by`, running every posted task and every call that falls due on the
  // way at its own moment, in order of time. Returns how many tasks ran.
  int advance(Duration by) {
    const TimePoint until = now_ + by;
    int ran = 0;
    for (;;) {
      if (posted_.run_one()) {
        ++ran;
        continue;
      }
      const auto due = calls_.next_due();
      if (!due || *due > until) break;
      now_ = std::max(now_, *due);
      if (calls_.run_due(*this)) ++ran;
    }
    now_ = until;
    return ran;
  }

  // Calls waiting (one-shot or repeating).
  std::size_t pending_calls() const { return calls_.size(); }

 private:
  TimePoint now_{};
  TimedCalls calls_;
  PostedTasks posted_;
};

}  // namespace brisca
