// A counting wake-up signal: post() never blocks or locks (safe from a real-time thread);
// wait_for() sleeps until a post or the time runs out.
#pragma once

#include <semaphore.h>

#include <chrono>

namespace brisca {

class Wakeup {
 public:
  Wakeup();
  ~Wakeup();
  Wakeup(const Wakeup&) = delete;
  Wakeup& operator=(const Wakeup&) = delete;

  void post();
  // True when woken by a post, false on time-out. Extra posts wake later waits at once.
  bool wait_for(std::chrono::milliseconds timeout);

 private:
  sem_t sem_;
};

}  // namespace brisca
