#include "app/cli/console_window.h"

#include <iostream>
#include <string>

namespace brisca::cli {

void ConsoleWindow::set_field_text(Field field, std::string_view text) {
  if (field_handler_) field_handler_(field, text);
}

BoxAnswer ConsoleWindow::message_box(std::string_view text, std::string_view caption, BoxIcon icon,
                                     BoxButtons buttons) {
  if (box_handler_) return box_handler_(text, caption, icon, buttons);
  std::cerr << caption << ": " << text << '\n';
  return buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Yes;
}

void ConsoleWindow::post_message(WindowMessage message, std::uintptr_t wparam,
                                 std::uintptr_t lparam) {
  // Notified under the lock: once the loop has taken the message it may return and the window
  // be destroyed, so the poster must be done with the condition variable by then.
  std::lock_guard lock(mutex_);
  queue_.push_back({message, wparam, lparam});
  wake_.notify_one();
}

void ConsoleWindow::start_timer(int id, int period_ms) {
  auto period = std::chrono::milliseconds(period_ms);
  timers_[id] = Timer{period, Clock::now() + period};
}

void ConsoleWindow::stop_timer(int id) {
  timers_.erase(id);
}

bool ConsoleWindow::dispatch_one_message() {
  Message m{};
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return false;
    m = queue_.front();
    queue_.pop_front();
  }
  if (message_handler_) message_handler_(m.message, m.wparam, m.lparam);
  return true;
}

bool ConsoleWindow::fire_due_timer() {
  const auto now = Clock::now();
  for (auto& [id, timer] : timers_) {
    if (timer.next > now) continue;
    // The next tick comes a whole period after this one fired, however late it was: a late tick
    // followed by one on the old schedule would hand the down-load's next chunk over early,
    // and a MIDI interface with a small buffer drops what arrives before it has room.
    timer.next = now + timer.period;
    const int fired = id;
    if (timer_handler_) timer_handler_(fired);  // may start or stop timers
    return true;
  }
  return false;
}

ConsoleWindow::Clock::time_point ConsoleWindow::next_wake(Clock::time_point deadline) const {
  auto wake = std::min(deadline, Clock::now() + std::chrono::milliseconds(20));
  for (const auto& [id, timer] : timers_) wake = std::min(wake, timer.next);
  return wake;
}

bool ConsoleWindow::run(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() >= deadline) return false;
    if (dispatch_one_message() || fire_due_timer()) continue;
    std::unique_lock lock(mutex_);
    if (queue_.empty()) wake_.wait_until(lock, next_wake(deadline));
  }
  return true;
}

}  // namespace brisca::cli
