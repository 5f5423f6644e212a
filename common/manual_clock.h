// A clock whose time moves only when told: tests advance it and check what happened at each
// moment, without sleeping. Posted tasks (from any thread) run on the next advance() or
// run_posted(), on the thread that calls it.
#pragma once

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>

#include "common/clock.h"

namespace brisca {

class ManualClock final : public Clock {
 public:
  TimePoint now() const override { return now_; }
  // Time since the clock was made.
  Duration elapsed() const { return std::chrono::duration_cast<Duration>(now_ - TimePoint{}); }

  TimerId call_after(Duration delay, Task task) override {
    return add(delay, Duration::zero(), std::move(task));
  }
  TimerId call_every(Duration period, Task task) override {
    return add(period, std::max(period, Duration(1)), std::move(task));
  }
  void cancel(TimerId id) override { calls_.erase(id); }
  void post(Task task) override {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(task));
  }

  // Runs posted tasks and calls due now, until none is left. Returns how many ran.
  int run_posted() { return advance(Duration::zero()); }

  // Moves time forward by `by`, running every posted task and every call that falls due on the
  // way at its own moment, in order of time. Returns how many tasks ran.
  int advance(Duration by) {
    const TimePoint until = now_ + by;
    int ran = 0;
    for (;;) {
      if (run_one_posted()) {
        ++ran;
        continue;
      }
      auto due = next_call();
      if (due == calls_.end() || due->second.due > until) break;
      now_ = std::max(now_, due->second.due);
      run_call(due);
      ++ran;
    }
    now_ = until;
    return ran;
  }

  // Calls waiting (one-shot or repeating).
  std::size_t pending_calls() const { return calls_.size(); }

 private:
  struct Call {
    TimePoint due;
    Duration period;
    Task task;
  };

  TimerId add(Duration delay, Duration period, Task task) {
    const TimerId id = ++last_id_;
    calls_.emplace(id, Call{now_ + delay, period, std::move(task)});
    return id;
  }
  std::map<TimerId, Call>::iterator next_call() {
    auto due = calls_.end();
    for (auto it = calls_.begin(); it != calls_.end(); ++it)
      if (due == calls_.end() || it->second.due < due->second.due) due = it;
    return due;
  }
  void run_call(std::map<TimerId, Call>::iterator it) {
    Task task;
    if (it->second.period == Duration::zero()) {
      task = std::move(it->second.task);
      calls_.erase(it);
    } else {
      it->second.due = now_ + it->second.period;
      task = it->second.task;
    }
    task();
  }
  bool run_one_posted() {
    Task task;
    {
      std::lock_guard lock(mutex_);
      if (posted_.empty()) return false;
      task = std::move(posted_.front());
      posted_.pop_front();
    }
    task();
    return true;
  }

  TimePoint now_{};
  std::map<TimerId, Call> calls_;
  TimerId last_id_ = 0;
  std::mutex mutex_;
  std::deque<Task> posted_;
};

}  // namespace brisca
