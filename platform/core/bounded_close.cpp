#include "platform/core/bounded_close.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace brisca {
namespace {

std::mutex g_mutex;
std::condition_variable g_changed;
int g_running = 0;       // closes started and not yet returned
bool g_gave_up = false;  // the last close waited for did not return in time

}  // namespace

bool close_bounded(std::function<void()> close) {
  auto done = std::make_shared<bool>(false);
  std::unique_lock lock(g_mutex);
  const auto limit = g_gave_up ? kCloseWaitAfterGivingUp : kCloseWait;
  ++g_running;
  std::thread([close = std::move(close), done] {
    close();
    std::lock_guard finished(g_mutex);
    *done = true;
    --g_running;
    g_changed.notify_all();
  }).detach();
  const bool in_time = g_changed.wait_for(lock, limit, [&] { return *done; });
  g_gave_up = !in_time;
  return in_time;
}

bool closes_finished(std::chrono::milliseconds limit) {
  std::unique_lock lock(g_mutex);
  return g_changed.wait_for(lock, limit, [] { return g_running == 0; });
}

}  // namespace brisca
