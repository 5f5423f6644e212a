#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#include "import/prepare_queue.h"

namespace brisca {
namespace {

using namespace std::chrono_literals;
using Served = std::vector<std::pair<int, std::uint64_t>>;  // row, request, in the order made

// Holds the worker inside its first answer until everything else has been asked for, so the
// order in which the rest are made is the queue's choice alone.
struct HeldWorker {
  std::mutex m;
  std::condition_variable cv;
  Served served;
  bool released = false;
  void done(const RowSound& r) {
    std::unique_lock lock(m);
    served.emplace_back(r.row, r.request);
    cv.notify_all();
    cv.wait(lock, [&] { return released; });
  }
  bool wait_for_served(std::size_t n) {
    std::unique_lock lock(m);
    return cv.wait_for(lock, 60s, [&] { return served.size() >= n; });
  }
  void release() {
    std::lock_guard lock(m);
    released = true;
    cv.notify_all();
  }
};

// A row the user changes goes ahead of the rows still waiting from the first fill (the oldest
// change first), a newer request for a row replaces the waiting one, and the fill keeps its order.
TEST(PrepareQueueTest, ChangedRowsGoAheadOfTheFillAndANewerRequestReplacesTheWaitingOne) {
  HeldWorker worker;
  PrepareQueue queue([&](RowSound r) { worker.done(r); });
  struct Release {  // never leaves the worker held when the test ends early
    HeldWorker& w;
    ~Release() { w.release(); }
  } release{worker};
  const std::string audio = "/nonexistent/brisca-queue.wav";  // an answer comes back all the same
  const ImportSettings settings;
  using Cause = PrepareQueue::Cause;

  const std::uint64_t first = queue.request(0, audio, settings);
  ASSERT_TRUE(worker.wait_for_served(1));
  std::vector<std::uint64_t> fill(6);
  for (int row = 1; row <= 5; ++row) fill[row] = queue.request(row, audio, settings);
  const std::uint64_t edit4 = queue.request(4, audio, settings, Cause::kChange);
  queue.request(2, audio, settings, Cause::kChange);
  const std::uint64_t edit2 = queue.request(2, audio, settings, Cause::kChange);
  const std::uint64_t refill3 = queue.request(3, audio, settings);
  worker.release();
  ASSERT_TRUE(worker.wait_for_served(6));
  std::lock_guard lock(worker.m);
  const Served expected = {{0, first},   {4, edit4},   {2, edit2},
                           {1, fill[1]}, {5, fill[5]}, {3, refill3}};
  EXPECT_EQ(worker.served, expected);
}

}  // namespace
}  // namespace brisca
