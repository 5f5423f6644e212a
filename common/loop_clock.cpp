#include "common/loop_clock.h"

#include <algorithm>

namespace brisca {

Clock::TimePoint LoopClock::next_wake(TimePoint deadline) const {
  auto wake = std::min(deadline, now() + Duration(20));
  if (const auto due = calls_.next_due()) wake = std::min(wake, *due);
  return wake;
}

bool LoopClock::run(const std::function<bool()>& done, Duration limit) {
  const auto deadline = now() + limit;
  while (!done()) {
    if (now() >= deadline) return false;
    if (posted_.run_one() || calls_.run_due(*this)) continue;
    posted_.wait_until(next_wake(deadline));
  }
  return true;
}

}  // namespace brisca
