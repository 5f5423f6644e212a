// A close that hangs holds its caller for a bounded time only, and still finishes on its own
// thread; the program can wait for such closes before it ends.
#include "platform/core/bounded_close.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace brisca {
namespace {

using namespace std::chrono_literals;

TEST(CloseBounded, AHangingCloseIsGivenUpOnAndStillFinishesWhatItOwns) {
  EXPECT_TRUE(close_bounded([] {}));
  EXPECT_TRUE(closes_finished(0ms));

  auto owned = std::make_shared<int>(1);
  std::weak_ptr<int> watch = owned;
  std::atomic<bool> release{false};
  std::atomic<bool> finished{false};
  EXPECT_FALSE(close_bounded([&, kept = std::move(owned)] {
    while (!release) std::this_thread::sleep_for(1ms);
    finished = true;
  }));
  EXPECT_FALSE(closes_finished(0ms));
  // The next close (to a server that is likely stalled too) is also given up on.
  EXPECT_FALSE(close_bounded([&] {
    while (!release) std::this_thread::sleep_for(1ms);
  }));
  EXPECT_FALSE(finished);

  release = true;
  EXPECT_TRUE(closes_finished(30s));
  EXPECT_TRUE(finished);
  for (int i = 0; i < 30000 && !watch.expired(); ++i) std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(watch.expired());  // what the close owned went with its thread
  EXPECT_TRUE(close_bounded([] {}));
}

}  // namespace
}  // namespace brisca
