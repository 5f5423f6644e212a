#include "platform/core/wakeup.h"

#include <cerrno>
#include <ctime>

namespace brisca {

Wakeup::Wakeup() {
  sem_init(&sem_, 0, 0);
}
Wakeup::~Wakeup() {
  sem_destroy(&sem_);
}

void Wakeup::post() {
  sem_post(&sem_);
}

bool Wakeup::wait_for(std::chrono::milliseconds timeout) {
  timespec until{};
  clock_gettime(CLOCK_MONOTONIC, &until);
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
  until.tv_sec += static_cast<time_t>(ns / 1'000'000'000);
  until.tv_nsec += static_cast<long>(ns % 1'000'000'000);
  if (until.tv_nsec >= 1'000'000'000) {
    until.tv_sec += 1;
    until.tv_nsec -= 1'000'000'000;
  }
  for (;;) {
    if (sem_clockwait(&sem_, CLOCK_MONOTONIC, &until) == 0) return true;
    if (errno != EINTR) return false;
  }
}

}  // namespace brisca
