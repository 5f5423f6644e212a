// The command line's clock: a loop on the calling thread that runs posted tasks and due calls
// until the caller's condition holds. The same core parts that run in the window run from a
// terminal on it.
#pragma once

#include <functional>

#include "common/clock.h"
#include "common/timed_calls.h"

namespace brisca {

class LoopClock final : public Clock {
 public:
  TimePoint now() const override { return std::chrono::steady_clock::now(); }
  TimerId call_after(Duration delay, Task task) override {
    return calls_.add_once(now() + delay, std::move(task));
  }
  TimerId call_every(Duration period, Task task) override {
    return calls_.add_repeating(now() + period, period, std::move(task));
  }
  void cancel(TimerId id) override { calls_.cancel(id); }
  void post(Task task) override { posted_.push(std::move(task)); }

  // Runs tasks on this thread until `done` returns true (asked after every task and at least
  // every 20 ms) or `limit` has passed. Returns true when `done` ended it.
  bool run(const std::function<bool()>& done, Duration limit = std::chrono::hours(24 * 365));

 private:
  TimePoint next_wake(TimePoint deadline) const;

  TimedCalls calls_;
  PostedTasks posted_;
};

}  // namespace brisca
