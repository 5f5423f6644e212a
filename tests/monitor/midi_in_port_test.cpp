#include "monitor/midi_in_port.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <set>
#include <thread>

#include "common/manual_clock.h"
#include "monitor/monitor_display.h"
#include "tests/monitor/fake_midi_in.h"

namespace brisca::test {
namespace {

std::vector<std::string> repeat(const std::string& call, int n) {
  return std::vector<std::string>(static_cast<std::size_t>(n), call);
}
std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A clock that counts the tasks posted onto it and not yet run.
class CountingClock final : public Clock {
 public:
  TimePoint now() const override { return clock.now(); }
  TimerId call_after(Duration delay, Task task) override {
    return clock.call_after(delay, std::move(task));
  }
  TimerId call_every(Duration period, Task task) override {
    return clock.call_every(period, std::move(task));
  }
  void cancel(TimerId id) override { clock.cancel(id); }
  void post(Task task) override {
    in_flight.fetch_add(1);
    clock.post([this, task = std::move(task)] {
      in_flight.fetch_sub(1);
      task();
    });
  }

  ManualClock clock;
  std::atomic<int> in_flight{0};
};

class InputPort : public ::testing::Test {
 protected:
  // Runs what the device's thread posted, as the clock's thread does.
  int drain() { return clock.clock.run_posted(); }
  std::size_t posted() const { return static_cast<std::size_t>(clock.in_flight.load()); }
  std::vector<std::string>& calls() { return service.log->calls; }
  std::string field(MonitorField f) const { return monitor.field(f); }

  CountingClock clock;
  MonitorFields monitor;
  FakeInService service;
  MidiInPort port{service, clock, &monitor};
};

std::vector<std::string> open_calls() {
  std::vector<std::string> calls;
  for (int i = 0; i < 8; ++i) calls = calls + repeat("prepare", 1) + repeat("add", 1);
  return calls + repeat("start", 1);
}
const std::vector<std::string> kCloseCalls =
    repeat("stop", 1) + repeat("reset", 1) + repeat("unprepare", 8) + repeat("close", 1);

TEST_F(InputPort, OpensTheChosenEntryWithEightQueuedBuffers) {
  EXPECT_EQ(port.open(0).code(), ErrorCode::InvalidArgument);
  EXPECT_TRUE(service.log->opened.empty());
  EXPECT_TRUE(port.open(2));
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
    ASSERT_TRUE(port.open(1));
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
  EXPECT_EQ(port.open(1).code(), ErrorCode::DeviceFailed);
  EXPECT_FALSE(port.is_open());
  EXPECT_EQ(calls().back(), "close");
  service.fail_open = true;
  EXPECT_FALSE(port.open(1));
}

TEST_F(InputPort, MessagesArePostedAndShownOnTheClocksThread) {
  ASSERT_TRUE(port.open(1));
  service.short_message(0x003C90);
  service.short_message(0x3C);  // not a status byte: shown nowhere
  EXPECT_TRUE(monitor.fields.empty());
  EXPECT_EQ(drain(), 2);
  EXPECT_EQ(field(MonitorField::NoteOff), "90 3c 00 ");
  EXPECT_EQ(monitor.fields.size(), 1u);

  calls().clear();
  ASSERT_TRUE(service.long_message({0xF0, 0x33, 0x00, 0x05, 0x01, 0x02, 0x03, 0x04, 0xF7}));
  EXPECT_EQ(drain(), 1);
  EXPECT_EQ(field(MonitorField::SystemExclusive), "f0 33 00 05 01 02 03 ... f7   [9]");
  EXPECT_EQ(calls(), repeat("add", 1));  // the buffer goes back to the device
  EXPECT_EQ(service.log->queued.size(), 8u);

  port.clear_data();
  ASSERT_EQ(monitor.fields.size(), 10u);
  for (int f = 0; f < kMonitorTextFields; ++f) EXPECT_EQ(field(MonitorField(f)), "");
}

// A SysEx longer than a buffer, without its F7 in the first, with a real-time byte between.
TEST_F(InputPort, RealTimeInsideALongSystemExclusive) {
  ASSERT_TRUE(port.open(1));
  std::vector<std::uint8_t> first(16384, 0x11);
  first[0] = 0xF0;
  ASSERT_TRUE(service.long_message(first));
  service.short_message(0xF8);
  ASSERT_TRUE(service.long_message({0x22, 0x23, 0xF7}));
  drain();
  EXPECT_EQ(field(MonitorField::RealTime), "f8 ");
  EXPECT_EQ(field(MonitorField::SystemExclusive), "22 23 f7   [3]");
  EXPECT_EQ(service.log->queued.size(), 8u);
}

TEST_F(InputPort, ABufferReportedBeforeAReopenIsNotQueuedTwice) {
  ASSERT_TRUE(port.open(1));
  ASSERT_TRUE(service.long_message({0xF0, 0x01, 0xF7}));  // posted, not handled yet
  port.close();
  ASSERT_TRUE(port.open(1));  // MIDI setup confirmed
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
  ASSERT_TRUE(port.open(1));
  constexpr int kMessages = 50000;
  for (int i = 0; i < kMessages; ++i) service.short_message(flood_message(i));
  EXPECT_LE(posted(), static_cast<std::size_t>(MidiInPort::kMaxPosted) + 1);
  drain();
  EXPECT_EQ(field(MonitorField::NoteOn), short_message_text(1, flood_message(kMessages - 2)));
  EXPECT_EQ(field(MonitorField::CtrlChg), short_message_text(3, flood_message(kMessages - 1)));
}

TEST_F(InputPort, AFloodFromTheDevicesThreadWhileTheWindowHandlesIt) {
  ASSERT_TRUE(port.open(1));
  constexpr int kMessages = 200000;
  std::size_t most_posted = 0;
  std::atomic<bool> sent{false};
  std::thread device([&] {
    for (int i = 0; i < kMessages; ++i) service.short_message(flood_message(i));
    sent = true;
  });
  while (!sent) {
    most_posted = std::max(most_posted, posted());
    if (drain() == 0) std::this_thread::yield();
    if (monitor.log.size() > 1000) monitor.log.clear();
  }
  device.join();
  drain();
  EXPECT_LE(most_posted, static_cast<std::size_t>(MidiInPort::kMaxPosted) + 1);
  EXPECT_EQ(field(MonitorField::NoteOn), short_message_text(1, flood_message(kMessages - 2)));
  EXPECT_EQ(field(MonitorField::CtrlChg), short_message_text(3, flood_message(kMessages - 1)));
}

// A device that reports its loss is closed and the loss told; the port then tries the same entry
// again on its clock, each wait twice the last up to 20 s, until it opens; close() ends the
// attempts.
TEST_F(InputPort, ALostDeviceIsToldAndReopenedAtAWideningPace) {
  ManualClock& time = clock.clock;
  port.keep_reopening(true);
  ASSERT_TRUE(port.open(2));
  service.log->dropped = 5;
  service.short_message(0x7F3C90);
  drain();
  ASSERT_EQ(monitor.told, (std::vector<InputStatus>{{false, 5}}));
  calls().clear();

  service.log->listener->closed();
  drain();
  EXPECT_EQ(calls(), kCloseCalls);
  EXPECT_EQ(monitor.told.back(), (InputStatus{true, 5}));
  EXPECT_EQ(time.pending_calls(), 1u);

  // Each attempt comes at its moment, not a millisecond before.
  service.fail_open = true;
  int attempts = 1;  // the first opening
  for (int wait : {2000, 4000, 8000, 16000, 20000, 20000}) {
    time.advance(std::chrono::milliseconds(wait - 1));
    EXPECT_EQ(service.log->opened.size(), static_cast<std::size_t>(attempts)) << wait;
    time.advance(std::chrono::milliseconds(1));
    EXPECT_EQ(service.log->opened.size(), static_cast<std::size_t>(++attempts)) << wait;
  }
  EXPECT_EQ(service.log->opened, (std::vector<int>(7, 1)));

  service.fail_open = false;
  calls().clear();
  service.log->dropped = 2;  // the new device counts from nothing
  time.advance(std::chrono::milliseconds(20000));
  EXPECT_EQ(calls(), open_calls());
  EXPECT_EQ(time.pending_calls(), 0u);
  EXPECT_EQ(monitor.told.back(), (InputStatus{false, 5}));
  service.short_message(0x07C5);
  drain();
  EXPECT_EQ(field(MonitorField::ProgChg), "c5 07 ");
  EXPECT_EQ(monitor.told.back(), (InputStatus{false, 7}));
  EXPECT_EQ(calls(), open_calls());

  service.log->listener->closed();
  drain();
  EXPECT_TRUE(monitor.told.back().lost);
  port.close();
  EXPECT_EQ(time.pending_calls(), 0u);
  EXPECT_EQ(monitor.told.back(), (InputStatus{false, 7}));
}

// A loss the device posted is stale once the clock's thread has opened the input again before
// taking it: the device now open stays open.
TEST_F(InputPort, ALossPostedBeforeAReopenChangesNothing) {
  ASSERT_TRUE(port.open(2));
  service.log->listener->closed();
  ASSERT_TRUE(port.open(2));
  calls().clear();
  drain();
  EXPECT_TRUE(calls().empty());
  EXPECT_TRUE(port.is_open());
  EXPECT_FALSE(port.status().lost);
}

// What the device posted but the clock had not run yet when the port went away is dropped.
TEST_F(InputPort, ReportsLeftOverFromAPortThatIsGoneDoNothing) {
  MonitorFields other;
  auto gone = std::make_unique<MidiInPort>(service, clock, &other);
  ASSERT_TRUE(gone->open(1));
  service.short_message(0x403C90);
  ASSERT_TRUE(service.long_message({0xF0, 0x01, 0xF7}));
  gone.reset();  // closes: the reset's empty buffers are posted too
  EXPECT_GT(drain(), 0);
  EXPECT_TRUE(other.fields.empty());
}

}  // namespace
}  // namespace brisca::test
