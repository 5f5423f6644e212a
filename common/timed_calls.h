// What every clock keeps, whatever drives its time: the table of calls waiting for their moment
// (one-shot or repeating) and the queue of tasks posted from other threads. The command line's
// loop and the tests' manual clock differ only in how time moves and how they wait.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <optional>

#include "common/clock.h"

namespace brisca {

// The clock's thread only.
class TimedCalls {
 public:
  Clock::TimerId add_once(Clock::TimePoint due, Clock::Task task);
  // Comes first at `due`, then every `period` (at least 1 ms).
  Clock::TimerId add_repeating(Clock::TimePoint due, Clock::Duration period, Clock::Task task);
  void cancel(Clock::TimerId id) { calls_.erase(id); }

  // The moment of the earliest call; nothing when none waits.
  std::optional<Clock::TimePoint> next_due() const;
  // Runs the earliest call due by `clock`'s time. A repeating one comes again a whole period
  // after this run ended, however late it was. False when none is due.
  bool run_due(const Clock& clock);

  std::size_t size() const { return calls_.size(); }

 private:
  struct Call {
    Clock::TimePoint due;
    Clock::Duration period;  // zero: runs once
    Clock::Task task;
  };

  Clock::TimerId add(Clock::TimePoint due, Clock::Duration period, Clock::Task task);

  std::map<Clock::TimerId, Call> calls_;
  Clock::TimerId last_id_ = 0;
};

// Tasks handed over from any thread, run in order on the clock's thread.
class PostedTasks {
 public:
  // Any thread.
  void push(Clock::Task task);
  // Runs the oldest task; false when none waits.
  bool run_one();
  // Waits until a task has been posted or `until` has come.
  void wait_until(Clock::TimePoint until);

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<Clock::Task> tasks_;
};

}  // namespace brisca
