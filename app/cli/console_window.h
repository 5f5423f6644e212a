// The window of the command line: a message queue and timers on the calling thread, so the
// same core parts that drive the Qt window run from a terminal. Field texts and boxes go to
// handlers the subcommand sets (by default boxes print to stderr and answer OK / Yes).
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "common/window_port.h"

namespace brisca::cli {

class ConsoleWindow : public WindowPort {
 public:
  using MessageHandler = std::function<void(WindowMessage, std::uintptr_t, std::uintptr_t)>;
  using TimerHandler = std::function<void(int id)>;
  using FieldHandler = std::function<void(Field, std::string_view)>;
  using BoxHandler = std::function<BoxAnswer(std::string_view text, std::string_view caption,
                                             BoxIcon, BoxButtons)>;

  void on_message(MessageHandler handler) { message_handler_ = std::move(handler); }
  void on_timer(TimerHandler handler) { timer_handler_ = std::move(handler); }
  void on_field(FieldHandler handler) { field_handler_ = std::move(handler); }
  void on_box(BoxHandler handler) { box_handler_ = std::move(handler); }

  void set_field_text(Field field, std::string_view text) override;
  BoxAnswer message_box(std::string_view text, std::string_view caption, BoxIcon icon,
                        BoxButtons buttons) override;
  void post_message(WindowMessage message, std::uintptr_t wparam, std::uintptr_t lparam) override;
  void start_timer(int id, int period_ms) override;
  void stop_timer(int id) override;

  // Dispatches posted messages and timer ticks on this thread until `done` returns true
  // (checked after every dispatch and at least every 20 ms) or `limit` has passed.
  // Returns true when `done` ended it.
  bool run(const std::function<bool()>& done,
           std::chrono::milliseconds limit = std::chrono::hours(24 * 365));

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    Clock::duration period;
    Clock::time_point next;
  };
  struct Message {
    WindowMessage message;
    std::uintptr_t wparam, lparam;
  };

  bool dispatch_one_message();
  bool fire_due_timer();
  Clock::time_point next_wake(Clock::time_point deadline) const;

  MessageHandler message_handler_;
  TimerHandler timer_handler_;
  FieldHandler field_handler_;
  BoxHandler box_handler_;
  std::map<int, Timer> timers_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Message> queue_;
};

}  // namespace brisca::cli
