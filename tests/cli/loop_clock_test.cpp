#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "common/loop_clock.h"

namespace brisca {
namespace {

TEST(LoopClock, TasksPostedFromOtherThreadsRunInOrderOnTheLoop) {
  LoopClock clock;
  std::vector<int> seen;
  const auto loop_thread = std::this_thread::get_id();
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i)
      clock.post([&, i] {
        EXPECT_EQ(std::this_thread::get_id(), loop_thread);
        seen.push_back(i);
      });
  });
  EXPECT_TRUE(clock.run([&] { return seen.size() == 100; }, std::chrono::seconds(10)));
  poster.join();
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
}

// A paced sender relies on both: no tick comes sooner than a whole period after the one before,
// and work queued by a tick runs after the tick has returned.
TEST(LoopClock, RepeatingCallsKeepTheirPeriodAndWorkQueuedInACallComesAfterIt) {
  LoopClock clock;
  std::vector<std::string> order;
  std::vector<Clock::TimePoint> times;
  Clock::TimerId tick = 0;
  tick = clock.call_every(std::chrono::milliseconds(5), [&] {
    times.push_back(clock.now());
    order.push_back("tick");
    if (times.size() == 3) {
      clock.cancel(tick);
      clock.call_after(std::chrono::milliseconds(0), [&] { order.push_back("next"); });
      order.push_back("tick end");
    }
  });
  EXPECT_TRUE(clock.run([&] { return !order.empty() && order.back() == "next"; },
                        std::chrono::seconds(10)));
  ASSERT_EQ(times.size(), 3u);
  for (std::size_t i = 1; i < times.size(); ++i)
    EXPECT_GE(times[i] - times[i - 1], std::chrono::milliseconds(5));
  EXPECT_EQ(order, (std::vector<std::string>{"tick", "tick", "tick", "tick end", "next"}));
}

TEST(LoopClock, RunEndsAtItsLimit) {
  LoopClock clock;
  EXPECT_FALSE(clock.run([] { return false; }, std::chrono::milliseconds(30)));
}

}  // namespace
}  // namespace brisca
