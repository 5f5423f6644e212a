// Time and deferred work for the core. No core part sleeps, starts a timer of its own or assumes
// a window: it asks the clock it was given. The programs give a real clock (the window's event
// loop, the command line's loop), tests a manual one whose time moves only when told, so a test
// checks every byte and its moment without waiting.
//
// Every task runs on the clock's own thread, never inside the call that queued it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace brisca {

class Clock {
 public:
  using Duration = std::chrono::milliseconds;
  using TimePoint = std::chrono::steady_clock::time_point;
  using Task = std::function<void()>;
  using TimerId = std::uint64_t;  // 0 is never a timer

  virtual ~Clock() = default;

  virtual TimePoint now() const = 0;

  // Runs `task` once, `delay` from now (zero: as soon as the current work returns). The clock's
  // thread only.
  virtual TimerId call_after(Duration delay, Task task) = 0;
  // Runs `task` every `period` until cancelled. A late run does not bring the next one closer:
  // the next comes a whole period after the run, so nothing paced by it ever goes out early.
  // The clock's thread only.
  virtual TimerId call_every(Duration period, Task task) = 0;
  // Forgets a call not yet run (or a repeating one). Unknown and finished ids are ignored; a task
  // may cancel itself. The clock's thread only.
  virtual void cancel(TimerId id) = 0;

  // Queues `task` for the clock's thread. Safe from any thread, device callbacks among them.
  virtual void post(Task task) = 0;
};

// Cancels its call when destroyed or re-armed: a member of the object the task points into, so a
// task never outlives what it uses.
class ScopedTimer {
 public:
  ScopedTimer() = default;
  ScopedTimer(const ScopedTimer&) = delete;
  ScopedTimer& operator=(const ScopedTimer&) = delete;
  ~ScopedTimer() { stop(); }

  void after(Clock& clock, Clock::Duration delay, Clock::Task task) {
    stop();
    clock_ = &clock;
    id_ = clock.call_after(delay, std::move(task));
  }
  void every(Clock& clock, Clock::Duration period, Clock::Task task) {
    stop();
    clock_ = &clock;
    id_ = clock.call_every(period, std::move(task));
  }
  void stop() {
    if (clock_ != nullptr && id_ != 0) clock_->cancel(id_);
    id_ = 0;
  }
  // Armed: the call has not run (or repeats). A one-shot task that has run should call
  // `ran()` first thing, so this reads false again.
  bool armed() const { return id_ != 0; }
  void ran() { id_ = 0; }

 private:
  Clock* clock_ = nullptr;
  Clock::TimerId id_ = 0;
};

}  // namespace brisca
