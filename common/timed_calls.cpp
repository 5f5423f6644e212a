#include "common/timed_calls.h"

#include <algorithm>

namespace brisca {

Clock::TimerId TimedCalls::add_once(Clock::TimePoint due, Clock::Task task) {
  return add(due, Clock::Duration::zero(), std::move(task));
}

Clock::TimerId TimedCalls::add_repeating(Clock::TimePoint due, Clock::Duration period,
                                         Clock::Task task) {
  return add(due, std::max(period, Clock::Duration(1)), std::move(task));
}

Clock::TimerId TimedCalls::add(Clock::TimePoint due, Clock::Duration period, Clock::Task task) {
  const Clock::TimerId id = ++last_id_;
  calls_.emplace(id, Call{due, period, std::move(task)});
  return id;
}

std::optional<Clock::TimePoint> TimedCalls::next_due() const {
  std::optional<Clock::TimePoint> due;
  for (const auto& [id, call] : calls_)
    if (!due || call.due < *due) due = call.due;
  return due;
}

bool TimedCalls::run_due(const Clock& clock) {
  const Clock::TimePoint at = clock.now();
  auto due = calls_.end();
  for (auto it = calls_.begin(); it != calls_.end(); ++it)
    if (it->second.due <= at && (due == calls_.end() || it->second.due < due->second.due)) due = it;
  if (due == calls_.end()) return false;
  if (due->second.period == Clock::Duration::zero()) {
    Clock::Task task = std::move(due->second.task);
    calls_.erase(due);
    task();  // may add or cancel calls
    return true;
  }
  // The next run is a whole period after this one began, and after it ended: whatever the run
  // saw of the time, the next one sees at least a period more.
  const Clock::TimerId id = due->first;
  Clock::Task task = due->second.task;
  due->second.due = clock.now() + due->second.period;
  task();  // may add or cancel calls, this one among them
  if (auto again = calls_.find(id); again != calls_.end())
    again->second.due = std::max(again->second.due, clock.now() + again->second.period);
  return true;
}

void PostedTasks::push(Clock::Task task) {
  // Notified under the lock: once the clock's thread has taken the task it may return and the
  // clock be destroyed, so the poster must be done with the condition variable by then.
  std::lock_guard lock(mutex_);
  tasks_.push_back(std::move(task));
  posted_.notify_one();
}

bool PostedTasks::run_one() {
  Clock::Task task;
  {
    std::lock_guard lock(mutex_);
    if (tasks_.empty()) return false;
    task = std::move(tasks_.front());
    tasks_.pop_front();
  }
  task();
  return true;
}

void PostedTasks::wait_until(Clock::TimePoint until) {
  std::unique_lock lock(mutex_);
  posted_.wait_until(lock, until, [this] { return !tasks_.empty(); });
}

}  // namespace brisca
