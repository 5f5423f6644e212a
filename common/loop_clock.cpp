#include "common/loop_clock.h"

#include <algorithm>

namespace brisca {

Clock::TimerId LoopClock::add(Duration delay, Duration period, Task task) {
  const TimerId id = ++last_id_;
  calls_.emplace(id, Call{now() + delay, period, std::move(task)});
  return id;
}

Clock::TimerId LoopClock::call_after(Duration delay, Task task) {
  return add(delay, Duration::zero(), std::move(task));
}

Clock::TimerId LoopClock::call_every(Duration period, Task task) {
  return add(period, std::max(period, Duration(1)), std::move(task));
}

void LoopClock::cancel(TimerId id) {
  calls_.erase(id);
}

void LoopClock::post(Task task) {
  // Notified under the lock: once the loop has taken the task it may return and the clock be
  // destroyed, so the poster must be done with the condition variable by then.
  std::lock_guard lock(mutex_);
  posted_.push_back(std::move(task));
  wake_.notify_one();
}

bool LoopClock::run_one_posted() {
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

bool LoopClock::run_due_call() {
  const TimePoint at = now();
  auto due = calls_.end();
  for (auto it = calls_.begin(); it != calls_.end(); ++it)
    if (it->second.due <= at && (due == calls_.end() || it->second.due < due->second.due)) due = it;
  if (due == calls_.end()) return false;
  Task task;
  if (due->second.period == Duration::zero()) {
    task = std::move(due->second.task);
    calls_.erase(due);
  } else {
    // The next run comes a whole period after this one, however late this one was.
    due->second.due = at + due->second.period;
    task = due->second.task;
  }
  task();  // may add or cancel calls
  return true;
}

Clock::TimePoint LoopClock::next_wake(TimePoint deadline) const {
  auto wake = std::min(deadline, now() + Duration(20));
  for (const auto& [id, call] : calls_) wake = std::min(wake, call.due);
  return wake;
}

bool LoopClock::run(const std::function<bool()>& done, Duration limit) {
  const auto deadline = now() + limit;
  while (!done()) {
    if (now() >= deadline) return false;
    if (run_one_posted() || run_due_call()) continue;
    std::unique_lock lock(mutex_);
    if (posted_.empty()) wake_.wait_until(lock, next_wake(deadline));
  }
  return true;
}

}  // namespace brisca
