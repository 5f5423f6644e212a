// A library call that hangs is given up on, and what it returns late is still destroyed.
#include "platform/core/bounded_call.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace brisca {
namespace {

using namespace std::chrono_literals;

struct Counted {
  explicit Counted(std::atomic<int>& alive) : alive_(alive) {
    ++alive_;
    ++made;
  }
  static inline std::atomic<int> made{0};
  ~Counted() { --alive_; }
  std::atomic<int>& alive_;
};

TEST(RunBounded, GivesTheResultInTimeOrNothingAndCleansUpLateResults) {
  EXPECT_EQ(run_bounded([] { return 7; }, 1000ms), 7);

  std::atomic<int> alive{0};
  std::atomic<bool> release{false};
  auto late = run_bounded(
      [&] {
        while (!release) std::this_thread::sleep_for(1ms);
        return std::make_unique<Counted>(alive);
      },
      20ms);
  EXPECT_FALSE(late.has_value());
  release = true;
  for (int i = 0; i < 10000 && (Counted::made == 0 || alive != 0); ++i)
    std::this_thread::sleep_for(1ms);
  EXPECT_EQ(Counted::made, 1);
  EXPECT_EQ(alive, 0);  // made after the caller gave up, and freed by the thread itself
}

}  // namespace
}  // namespace brisca
