#include "monitor/midi_in_port.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>

#include "monitor/monitor_display.h"
#include "tests/monitor/fake_midi_in.h"
#include "tests/support/fake_window.h"

namespace brisca::test {
namespace {

std::vector<std::string> repeat(const std::string& call, int n) {
  return std::vector<std::string>(static_cast<std::size_t>(n), call);
}
std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class InputPort : public ::testing::Test {
 protected:
  // Handles what the device's thread posted, as the window's queue does.
  int drain() {
    int handled = 0;
    Posted p{};
    while (window.take_posted(p)) {
      EXPECT_EQ(p.message, WindowMessage::MidiInput);
      port.handle_input_event(p.wparam, p.lparam);
      ++handled;
    }
    return handled;
  }
  std::size_t posted() {
    std::lock_guard lock(window.mutex);
    return window.posted.size();
  }
  std::vector<std::string>& calls() { return service.log->calls; }

  FakeWindow window;
  FakeInService service;
  MidiInPort port{service};
};

std::vector<std::string> open_calls() {
  std::vector<std::string> calls;
  for (int i = 0; i < 8; ++i) calls = calls + repeat("prepare", 1) + repeat("add", 1);
  return calls + repeat("start", 1);
}
const std::vector<std::string> kCloseCalls =
    repeat("stop", 1) + repeat("reset", 1) + repeat("unprepare", 8) + repeat("close", 1);

TEST_F(InputPort, OpensTheChosenEntryWithEightQueuedBuffers) {
  EXPECT_EQ(port.open(&window, 0), 0);
  EXPECT_TRUE(service.log->opened.empty());
  EXPECT_EQ(port.open(&window, 2), 2);
  EXPECT_EQ(service.log->opened, std::vector<int>{1});
  EXPECT_EQ(calls(), open_calls());
  std::set<std::uint8_t*> buffers;
  for (MidiHeader* h : service.log->queued) {
    EXPECT_EQ(h->buffer_length, 16384u);
    buffers.insert(h->data);
  }
  EXPECT_EQ(buffers.size(), 8u);
  calls().clear();
  port.close();
  EXPECT_EQ(calls(), kCloseCalls);
  EXPECT_EQ(drain(), 8);  // the reset's empty buffers, not queued again
  EXPECT_EQ(std::count(calls().begin(), calls().end(), "add"), 0);
}

TEST_F(InputPort, CloseStopsAtTheFirstFailingStep) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"stop", repeat("stop", 1)},
      {"reset", repeat("stop", 1) + repeat("reset", 1)},
      {"unprepare", repeat("stop", 1) + repeat("reset", 1) + repeat("unprepare", 3)},
  };
  for (const auto& [failing, expected] : cases) {
    service.log->fail_at.clear();
    ASSERT_EQ(port.open(&window, 1), 1);
    service.log->fail_at[failing] = failing == "unprepare" ? 2 : 0;
    calls().clear();
    port.close();
    EXPECT_EQ(calls(), expected) << failing;
    EXPECT_FALSE(port.is_open());
    drain();
  }
}

TEST_F(InputPort, ADeviceThatRefusesABufferIsClosedAgain) {
  service.log->fail_at["add"] = 3;
  EXPECT_EQ(port.open(&window, 1), 0);
  EXPECT_FALSE(port.is_open());
  EXPECT_EQ(calls().back(), "close");
  service.fail_open = true;
  EXPECT_EQ(port.open(&window, 1), 0);
}

TEST_F(InputPort, MessagesArePostedAndShownOnTheWindowsThread) {
  port.open(&window, 1);
  service.short_message(0x003C90);
  service.short_message(0x3C);  // not a status byte: shown nowhere
  EXPECT_TRUE(window.fields.empty());
  EXPECT_EQ(drain(), 2);
  EXPECT_EQ(window.field(Field::NoteOff), "90 3c 00 ");
  EXPECT_EQ(window.fields.size(), 1u);

  calls().clear();
  ASSERT_TRUE(service.long_message({0xF0, 0x33, 0x00, 0x05, 0x01, 0x02, 0x03, 0x04, 0xF7}));
  EXPECT_EQ(drain(), 1);
  EXPECT_EQ(window.field(Field::SystemExclusive), "f0 33 00 05 01 02 03 ... f7   [9]");
  EXPECT_EQ(calls(), repeat("add", 1));  // the buffer goes back to the device
  EXPECT_EQ(service.log->queued.size(), 8u);

  port.clear_data();
  for (int f = 0; f < kMonitorFieldCount; ++f) EXPECT_EQ(window.field(Field(f)), "");
}

// A SysEx longer than a buffer, without its F7 in the first, with a real-time byte between.
TEST_F(InputPort, RealTimeInsideALongSystemExclusive) {
  port.open(&window, 1);
  std::vector<std::uint8_t> first(16384, 0x11);
  first[0] = 0xF0;
  ASSERT_TRUE(service.long_message(first));
  service.short_message(0xF8);
  ASSERT_TRUE(service.long_message({0x22, 0x23, 0xF7}));
  drain();
  EXPECT_EQ(window.field(Field::RealTime), "f8 ");
  EXPECT_EQ(window.field(Field::SystemExclusive), "22 23 f7   [3]");
  EXPECT_EQ(service.log->queued.size(), 8u);
}

TEST_F(InputPort, ABufferReportedBeforeAReopenIsNotQueuedTwice) {
  port.open(&window, 1);
  ASSERT_TRUE(service.long_message({0xF0, 0x01, 0xF7}));  // posted, not handled yet
  port.close();
  port.open(&window, 1);  // MIDI setup confirmed
  drain();
  std::set<MidiHeader*> queued(service.log->queued.begin(), service.log->queued.end());
  EXPECT_EQ(service.log->queued.size(), 8u);
  EXPECT_EQ(queued.size(), 8u);
}

// The packed Note On / Control Change of message i.
std::uint32_t flood_message(int i) {
  const std::uint32_t status = (i % 2 == 0) ? 0x90 : 0xB3;
  return status | (static_cast<std::uint32_t>(i % 128) << 8) |
         (static_cast<std::uint32_t>(1 + i % 100) << 16);
}

TEST_F(InputPort, AFloodKeepsFewMessagesPostedAndEndsOnTheNewest) {
  port.open(&window, 1);
  constexpr int kMessages = 50000;
  for (int i = 0; i < kMessages; ++i) service.short_message(flood_message(i));
  EXPECT_LE(posted(), static_cast<std::size_t>(MidiInPort::kMaxPosted) + 1);
  drain();
  EXPECT_EQ(window.field(Field::NoteOn), short_message_text(1, flood_message(kMessages - 2)));
  EXPECT_EQ(window.field(Field::CtrlChg), short_message_text(3, flood_message(kMessages - 1)));
}

TEST_F(InputPort, AFloodFromTheDevicesThreadWhileTheWindowHandlesIt) {
  port.open(&window, 1);
  constexpr int kMessages = 200000;
  std::size_t most_posted = 0;
  std::thread device([&] {
    for (int i = 0; i < kMessages; ++i) service.short_message(flood_message(i));
  });
  std::vector<std::string> note_on_texts;
  Posted p{};
  for (int idle = 0; idle < 1000;) {
    most_posted = std::max(most_posted, posted());
    if (!window.take_posted(p)) {
      ++idle;
      std::this_thread::yield();
      continue;
    }
    port.handle_input_event(p.wparam, p.lparam);
    if (window.field_log.size() > 1000) window.field_log.clear();
  }
  device.join();
  drain();
  EXPECT_LE(most_posted, static_cast<std::size_t>(MidiInPort::kMaxPosted) + 1);
  EXPECT_EQ(window.field(Field::NoteOn), short_message_text(1, flood_message(kMessages - 2)));
  EXPECT_EQ(window.field(Field::CtrlChg), short_message_text(3, flood_message(kMessages - 1)));
}

// A device that reports its loss is closed and the loss told; the port then tries the same entry
// again on timer 2, each wait twice the last up to 20 s, until it opens. A loss reported by a
// device already closed changes nothing, and close() ends the attempts.
TEST_F(InputPort, ALostDeviceIsToldAndReopenedAtAWideningPace) {
  std::vector<InputStatus> told;
  port.on_status([&](const InputStatus& status) { told.push_back(status); });
  port.keep_reopening(true);
  ASSERT_EQ(port.open(&window, 2), 2);
  service.log->dropped = 5;
  service.short_message(0x7F3C90);
  drain();
  ASSERT_EQ(told, (std::vector<InputStatus>{{false, 5}}));
  calls().clear();

  service.log->callback(MIM_CLOSE, 0, 0);
  drain();
  EXPECT_EQ(calls(), kCloseCalls);
  EXPECT_EQ(told.back(), (InputStatus{true, 5}));
  EXPECT_EQ(window.timers, (std::map<int, int>{{kMonitorTimerId, 2000}}));

  service.fail_open = true;
  port.on_timer(kDownloadTimerId);  // not the monitor's
  for (int wait : {4000, 8000, 16000, 20000, 20000}) {
    port.on_timer(kMonitorTimerId);
    EXPECT_EQ(window.timers, (std::map<int, int>{{kMonitorTimerId, wait}}));
  }
  EXPECT_EQ(service.log->opened, (std::vector<int>(6, 1)));

  service.fail_open = false;
  const DeviceCallback gone = service.log->callback;
  calls().clear();
  service.log->dropped = 2;  // the new device counts from nothing
  port.on_timer(kMonitorTimerId);
  EXPECT_EQ(calls(), open_calls());
  EXPECT_TRUE(window.timers.empty());
  EXPECT_EQ(told.back(), (InputStatus{false, 5}));
  service.short_message(0x07C5);
  gone(MIM_CLOSE, 0, 0);
  drain();
  EXPECT_EQ(window.field(Field::ProgChg), "c5 07 ");
  EXPECT_EQ(told.back(), (InputStatus{false, 7}));
  EXPECT_EQ(calls(), open_calls());

  service.log->callback(MIM_CLOSE, 0, 0);
  drain();
  EXPECT_TRUE(told.back().lost);
  port.close();
  EXPECT_TRUE(window.timers.empty());
  EXPECT_EQ(told.back(), (InputStatus{false, 7}));
}

}  // namespace
}  // namespace brisca::test
