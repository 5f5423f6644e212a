#include "platform/rtaudio/stall_watch.h"

#include <utility>

namespace brisca::rtaudio {
namespace {

constexpr std::chrono::milliseconds kWatchPeriod{100};

}  // namespace

StallWatch::StallWatch(WaveQueue& queue, std::function<bool()> gone,
                       std::chrono::milliseconds limit)
    : queue_(queue), gone_(std::move(gone)), limit_(limit) {
  thread_ = std::thread([this] { watch(); });
}

StallWatch::~StallWatch() {
  stop();
}

void StallWatch::stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void StallWatch::watch() {
  using Clock = std::chrono::steady_clock;
  std::uint64_t periods = queue_.periods();
  auto last_period = Clock::now();
  std::unique_lock lock(mutex_);
  while (!wake_.wait_for(lock, kWatchPeriod, [this] { return stop_; })) {
    if (queue_.lost()) continue;
    const auto now = Clock::now();
    if (queue_.periods() != periods) {
      periods = queue_.periods();
      last_period = now;
    }
    if ((gone_ && gone_()) || now - last_period >= limit_) queue_.fail();
  }
}

}  // namespace brisca::rtaudio
