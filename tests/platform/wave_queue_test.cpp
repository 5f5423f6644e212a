// The queue behind the RtAudio wave output: buffers play in order and come back done exactly
// once; reset returns everything; a backend that fails or spins makes the device lost.
#include "platform/rtaudio/wave_queue.h"

#include <gtest/gtest.h>

#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

namespace brisca::rtaudio {
namespace {

using Clock = WaveQueue::Clock;

struct Reports : WaveOutDeviceListener {
  std::mutex mutex;
  std::vector<const WaveHeader*> done;
  void block_done(WaveHeader& header) override {
    std::lock_guard lock(mutex);
    done.push_back(&header);
  }
  std::size_t count() {
    std::lock_guard lock(mutex);
    return done.size();
  }
};

struct Buffer {
  explicit Buffer(std::size_t samples, std::int16_t first = 1) : data(samples) {
    std::iota(data.begin(), data.end(), first);
    header.data = reinterpret_cast<std::uint8_t*>(data.data());
    header.buffer_length = static_cast<std::uint32_t>(samples * 2);
    header.flags = HDR_PREPARED;
  }
  std::vector<std::int16_t> data;
  WaveHeader header;
  bool done() const { return (load_flags(header.flags) & HDR_DONE) != 0; }
};

// Renders in real-time steps starting at `start`; returns everything rendered.
std::vector<std::int16_t> render_periods(WaveQueue& queue, int periods, std::size_t frames,
                                         Clock::time_point& now) {
  std::vector<std::int16_t> out;
  std::vector<std::int16_t> period(frames);
  for (int i = 0; i < periods; ++i) {
    queue.render(period.data(), frames, now);
    out.insert(out.end(), period.begin(), period.end());
    now += std::chrono::microseconds(static_cast<long>(frames * 1e6 / kSampleRate));
  }
  return out;
}

// A buffer is done only at the period after the one that took its last samples: the device has
// taken that one by then, so closing at the last report cuts nothing off.
TEST(WaveQueue, PlaysBuffersInOrderAndReportsEachOnceAPeriodAfterItsLastSamples) {
  Reports reports;
  WaveQueue queue(reports);
  Buffer a(700, 1), b(301, 1000);
  ASSERT_TRUE(queue.write(a.header).ok());
  ASSERT_TRUE(queue.write(b.header).ok());
  EXPECT_EQ(load_flags(a.header.flags), HDR_PREPARED | HDR_INQUEUE);
  auto now = Clock::now();
  auto out = render_periods(queue, 2, 512, now);  // the second period takes the last of both
  EXPECT_FALSE(a.done());
  EXPECT_FALSE(b.done());
  EXPECT_EQ(reports.count(), 0u);
  EXPECT_FALSE(queue.idle());
  const auto third = render_periods(queue, 1, 512, now);
  out.insert(out.end(), third.begin(), third.end());
  std::vector<std::int16_t> expected(a.data);
  expected.insert(expected.end(), b.data.begin(), b.data.end());
  expected.resize(3 * 512, 0);  // silence once nothing is queued
  EXPECT_EQ(out, expected);
  EXPECT_EQ(load_flags(a.header.flags), HDR_PREPARED | HDR_DONE);
  EXPECT_TRUE(b.done());
  ASSERT_EQ(reports.done.size(), 2u);
  EXPECT_EQ(reports.done[0], &a.header);
  EXPECT_EQ(reports.done[1], &b.header);
  EXPECT_TRUE(queue.idle());
}

TEST(WaveQueue, OddByteAndEmptyBuffers) {
  Reports reports;
  WaveQueue queue(reports);
  Buffer odd(3, 7), empty(0);
  odd.header.buffer_length = 7;  // three whole samples and a stray byte
  ASSERT_TRUE(queue.write(odd.header).ok());
  ASSERT_TRUE(queue.write(empty.header).ok());
  auto now = Clock::now();
  const auto out = render_periods(queue, 2, 4, now);
  EXPECT_EQ(out, (std::vector<std::int16_t>{7, 8, 9, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(odd.done());
  EXPECT_TRUE(empty.done());
  EXPECT_EQ(reports.done.size(), 2u);
}

TEST(WaveQueue, RefusesWhatCannotBeQueued) {
  Reports reports;
  WaveQueue queue(reports);
  Buffer unprepared(10);
  unprepared.header.flags = 0;
  EXPECT_EQ(queue.write(unprepared.header).error(), device_error::unprepared());
  Buffer twice(10);
  ASSERT_TRUE(queue.write(twice.header).ok());
  EXPECT_EQ(queue.write(twice.header).error(), device_error::still_queued());
  Buffer no_data(10);
  no_data.header.data = nullptr;
  EXPECT_EQ(queue.write(no_data.header).error(), device_error::bad_buffer());
  std::vector<Buffer> many;
  for (std::size_t i = 0; i < WaveQueue::kCapacity; ++i) many.emplace_back(4);
  Status full;
  for (auto& m : many) full = queue.write(m.header);
  EXPECT_EQ(full.error(), device_error::no_room());  // one slot was taken by `twice`
}

TEST(WaveQueue, ResetReturnsEveryQueuedBufferDoneAndPlaysNothingOfThem) {
  Reports reports;
  WaveQueue queue(reports);
  Buffer a(1000), b(1000);
  ASSERT_TRUE(queue.write(a.header).ok());
  ASSERT_TRUE(queue.write(b.header).ok());
  auto now = Clock::now();
  render_periods(queue, 1, 256, now);  // a is part played
  queue.reset();
  EXPECT_TRUE(a.done());
  EXPECT_TRUE(b.done());
  EXPECT_EQ(load_flags(b.header.flags) & HDR_INQUEUE, 0u);
  EXPECT_EQ(reports.done.size(), 2u);
  const auto out = render_periods(queue, 1, 256, now);
  EXPECT_EQ(out, std::vector<std::int16_t>(256, 0));
  // A new buffer after the reset starts from its own beginning.
  Buffer c(4, 40);
  ASSERT_TRUE(queue.write(c.header).ok());
  EXPECT_EQ(render_periods(queue, 1, 4, now), (std::vector<std::int16_t>{40, 41, 42, 43}));
}

TEST(WaveQueue, NoReportAfterClose) {
  Reports reports;
  WaveQueue queue(reports);
  Buffer a(10);
  ASSERT_TRUE(queue.write(a.header).ok());
  queue.close_reports();
  auto now = Clock::now();
  render_periods(queue, 1, 64, now);
  queue.reset();
  EXPECT_TRUE(a.done());
  EXPECT_EQ(reports.count(), 0u);
}

TEST(WaveQueue, AStreamCallingBackWithoutPauseIsLost) {
  Reports reports;
  WaveQueue queue(reports);
  Buffer a(100000), b(100);
  ASSERT_TRUE(queue.write(a.header).ok());
  ASSERT_TRUE(queue.write(b.header).ok());
  std::vector<std::int16_t> period(512);
  const auto now = Clock::now();  // the clock stands still: a spinning thread
  int calls = 0;
  while (queue.render(period.data(), period.size(), now) && calls < 100000) ++calls;
  EXPECT_TRUE(queue.lost());
  // The burst a server may take at start is allowed, not much more.
  EXPECT_GE(calls * 512.0, WaveQueue::kBurstSeconds * kSampleRate - 512);
  EXPECT_LE(calls * 512.0, WaveQueue::kBurstSeconds * kSampleRate + 512);
  EXPECT_TRUE(a.done());
  EXPECT_TRUE(b.done());
  EXPECT_EQ(reports.count(), 2u);
  Buffer c(10);
  EXPECT_EQ(queue.write(c.header).error(), device_error::lost());
  EXPECT_FALSE(queue.render(period.data(), period.size(), now));
  EXPECT_EQ(period, std::vector<std::int16_t>(512, 0));
}

TEST(WaveQueue, RealTimeWithAnInitialFillIsNotLost) {
  Reports reports;
  WaveQueue queue(reports);
  std::vector<std::int16_t> period(512);
  auto now = Clock::now();
  for (int i = 0; i < 170; ++i) queue.render(period.data(), period.size(), now);  // ~2 s at once
  for (int i = 0; i < 100000; ++i) {  // then about 20 minutes of real time
    now += std::chrono::microseconds(11610);
    ASSERT_TRUE(queue.render(period.data(), period.size(), now)) << i;
  }
  EXPECT_FALSE(queue.lost());
}

TEST(WaveQueue, BackendFailingPeriodAfterPeriodIsLostButSingleFailuresAreNot) {
  Reports reports;
  WaveQueue queue(reports);
  std::vector<std::int16_t> period(64);
  auto now = Clock::now();
  auto step = [&] {
    now += std::chrono::milliseconds(2);
    return queue.render(period.data(), period.size(), now);
  };
  for (int i = 0; i < 50; ++i) {  // an underrun now and then
    if (i % 3 == 0) queue.note_backend_error();
    ASSERT_TRUE(step());
  }
  for (int i = 0; i < WaveQueue::kFailedPeriodsLimit; ++i) {
    queue.note_backend_error();
    step();
  }
  EXPECT_FALSE(step());
  EXPECT_TRUE(queue.lost());
}

TEST(WaveQueue, FailFromAnotherThreadReturnsQueuedBuffers) {
  Reports reports;
  WaveQueue queue(reports);
  Buffer a(10);
  ASSERT_TRUE(queue.write(a.header).ok());
  std::thread([&] { queue.fail(); }).join();
  EXPECT_TRUE(a.done());
  EXPECT_EQ(reports.count(), 1u);
  EXPECT_TRUE(queue.lost());
}

// The window's thread writes and resets while the audio thread renders: every buffer comes back
// done exactly once, and what plays keeps the order the samples were written in.
TEST(WaveQueue, WritesAndResetsAgainstARenderingThread) {
  Reports reports;
  WaveQueue queue(reports);
  std::atomic<bool> stop{false};
  std::vector<std::int16_t> played;
  std::thread audio([&] {
    std::vector<std::int16_t> period(128);
    auto now = Clock::now();
    while (!stop) {
      now += std::chrono::milliseconds(3);
      queue.render(period.data(), period.size(), now);
      for (auto s : period)
        if (s != 0) played.push_back(s);
      std::this_thread::yield();
    }
  });
  std::vector<Buffer> buffers;
  buffers.reserve(300);
  for (int i = 0; i < 300; ++i) buffers.emplace_back(97, static_cast<std::int16_t>(1 + i * 97));
  int written = 0;
  for (int i = 0; i < 300; ++i) {
    while (queue.write(buffers[static_cast<std::size_t>(i)].header).code() == ErrorCode::NotReady)
      std::this_thread::yield();
    ++written;
    if (i % 50 == 49) queue.reset();
  }
  while (!queue.idle()) std::this_thread::yield();
  stop = true;
  audio.join();
  EXPECT_EQ(reports.count(), static_cast<std::size_t>(written));
  for (const auto& b : buffers) EXPECT_TRUE(b.done());
  for (std::size_t i = 1; i < played.size(); ++i) ASSERT_LT(played[i - 1], played[i]) << i;
}

}  // namespace
}  // namespace brisca::rtaudio
