#include <gtest/gtest.h>

#include <thread>

#include "app/cli/console_window.h"

namespace brisca::cli {
namespace {

TEST(ConsoleWindow, MessagesFromOtherThreadsArriveInOrder) {
  ConsoleWindow window;
  std::vector<std::uintptr_t> seen;
  window.on_message([&](WindowMessage m, std::uintptr_t w, std::uintptr_t) {
    EXPECT_EQ(m, WindowMessage::WaveOut);
    seen.push_back(w);
  });
  std::thread poster([&] {
    for (std::uintptr_t i = 0; i < 100; ++i) window.post_message(WindowMessage::WaveOut, i, 0);
  });
  EXPECT_TRUE(window.run([&] { return seen.size() == 100; }, std::chrono::seconds(10)));
  poster.join();
  for (std::uintptr_t i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
}

TEST(ConsoleWindow, TimersTickUntilStoppedAndMessagesPostedInATickComeAfterIt) {
  ConsoleWindow window;
  int ticks = 0;
  std::vector<std::string> order;
  window.on_timer([&](int id) {
    EXPECT_EQ(id, 1);
    order.push_back("tick");
    if (++ticks == 3) {
      window.stop_timer(1);
      window.post_message(WindowMessage::NextDownload, 0, 0);
      order.push_back("tick end");
    }
  });
  window.on_message(
      [&](WindowMessage, std::uintptr_t, std::uintptr_t) { order.push_back("1044"); });
  window.start_timer(1, 5);
  EXPECT_TRUE(window.run([&] { return !order.empty() && order.back() == "1044"; },
                         std::chrono::seconds(10)));
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(order, (std::vector<std::string>{"tick", "tick", "tick", "tick end", "1044"}));
}

TEST(ConsoleWindow, RunEndsAtItsLimit) {
  ConsoleWindow window;
  EXPECT_FALSE(window.run([] { return false; }, std::chrono::milliseconds(30)));
}

}  // namespace
}  // namespace brisca::cli
