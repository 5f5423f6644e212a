// The command line's clock: a loop on the calling thread that runs posted tasks and due calls
// until the caller's condition holds. The same core parts that run in the window run from a
// terminal on it.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "common/clock.h"

namespace brisca {

class LoopClock final : public Clock {
 public:
  TimePoint now() const override { return std::chrono::steady_clock::now(); }
  TimerId call_after(Duration delay, Task task) override;
  TimerId call_every(Duration period, Task task) override;
  void cancel(TimerId id) override;
  void post(Task task) override;

  // Runs tasks on this thread until `done` returns true (asked after every task and at least
  // every 20 ms) or `limit` has passed. Returns true when `done` ended it.
  bool run(const std::function<bool()>& done, Duration limit = std::chrono::hours(24 * 365));

 private:
  struct Call {
    TimePoint due;
    Duration period;  // zero: runs once
    Task task;
  };

  TimerId add(Duration delay, Duration period, Task task);
  bool run_one_posted();
  bool run_due_call();
  TimePoint next_wake(TimePoint deadline) const;

  std::map<TimerId, Call> calls_;
  TimerId last_id_ = 0;
  std::mutex mutex_;  // guards posted_
  std::condition_variable wake_;
  std::deque<Task> posted_;
};

}  // namespace brisca
