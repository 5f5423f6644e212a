// Running a call into a sound library with a time limit. Servers that hang (stopped, or dying
// half way) can keep a library call waiting for ever; the window's thread must not wait with it.
// (Closing is bounded in bounded_close.h.)
#pragma once

#include <chrono>
#include <future>
#include <optional>
#include <thread>
#include <utility>

namespace brisca {

// How long a listing or an opening is waited for: a JACK server that is shutting down or stopped
// can keep a client waiting.
inline constexpr std::chrono::milliseconds kCallLimit{3000};

// Runs `work` on a thread of its own and waits up to `limit` for its result. Past the limit the
// thread is left to finish alone and nothing is returned; its result is destroyed when it does
// finish, so `work` must own (or keep alive through its captures) everything it touches.
template <typename Work>
auto run_bounded(Work work, std::chrono::milliseconds limit) -> std::optional<decltype(work())> {
  std::packaged_task<decltype(work())()> task(std::move(work));
  auto result = task.get_future();
  std::thread worker(std::move(task));
  if (result.wait_for(limit) != std::future_status::ready) {
    worker.detach();
    return std::nullopt;
  }
  worker.join();
  return result.get();
}

}  // namespace brisca
