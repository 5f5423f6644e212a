// A watchdog for a wave output: a thread that looks every tenth of a second whether the stream
// still renders periods. A stream that stands still for the stall limit, or that `gone` reports
// dead, makes the queue lost, so a preview ends instead of waiting for buffers that never finish.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/rtaudio/wave_queue.h"

namespace brisca::rtaudio {

class StallWatch {
 public:
  // `queue` and whatever `gone` touches must outlive the watch (or its stop()).
  StallWatch(WaveQueue& queue, std::function<bool()> gone, std::chrono::milliseconds limit);
  ~StallWatch();
  StallWatch(const StallWatch&) = delete;
  StallWatch& operator=(const StallWatch&) = delete;

  // Ends the thread; it checks nothing after this returns.
  void stop();

 private:
  void watch();

  WaveQueue& queue_;
  std::function<bool()> gone_;
  std::chrono::milliseconds limit_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace brisca::rtaudio
