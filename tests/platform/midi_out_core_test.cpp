// The output core with a fake writer in place of a library: what each write receives, which
// reports come, and what loss of the device does.
#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <thread>

#include "platform/core/header_flags.h"
#include "platform/core/midi_out_core.h"
#include "tests/platform/report_log.h"

namespace brisca {
namespace {

using test::Event;
using test::ReportLog;
using Bytes = std::vector<std::uint8_t>;

// A 1174-byte SysEx as the down-load sends it: 200-byte chunks, the last one shorter.
std::vector<Bytes> sysex_chunks() {
  Bytes message(1174);
  std::iota(message.begin(), message.end(), 0);
  for (auto& b : message) b &= 0x7F;
  message.front() = 0xF0;
  message.back() = 0xF7;
  std::vector<Bytes> chunks;
  for (std::size_t at = 0; at < message.size(); at += 200)
    chunks.emplace_back(message.begin() + at, message.begin() + std::min(at + 200, message.size()));
  return chunks;
}

struct FakeWriter {
  std::vector<std::pair<bool, Bytes>> writes;
  std::vector<WriteResult> script;  // results to give, in order; Written once used up
  WriteResult operator()(bool is_long, const std::uint8_t* data, std::size_t size) {
    WriteResult result = WriteResult::Written;
    if (!script.empty()) {
      result = script.front();
      script.erase(script.begin());
    }
    if (result == WriteResult::Written) writes.emplace_back(is_long, Bytes(data, data + size));
    return result;
  }
};

class MidiOutCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    core = std::make_unique<MidiOutCore>(log, 1024);
    core->start();
    ASSERT_TRUE(log.wait_count(Event::Opened, 1));
  }
  Status send(int i, const Bytes& bytes) {
    storage[i] = bytes;
    headers[i] = MidiHeader{storage[i].data(), static_cast<std::uint32_t>(bytes.size()), 0, 0};
    (void)core->prepare(headers[i]);
    return core->submit(headers[i]);
  }
  std::vector<std::uintptr_t> done() {
    std::vector<std::uintptr_t> out;
    for (const auto& r : log.reports())
      if (r.id == Event::Done) out.push_back(r.param1);
    return out;
  }
  std::uintptr_t address(int i) { return reinterpret_cast<std::uintptr_t>(&headers[i]); }

  ReportLog log;
  std::unique_ptr<MidiOutCore> core;
  std::array<Bytes, 8> storage;
  std::array<MidiHeader, 8> headers{};
  FakeWriter writer;
};

TEST_F(MidiOutCoreTest, EveryChunkIsOneWriteOfExactlyItsBytesAndIsReportedDone) {
  const auto chunks = sysex_chunks();
  ASSERT_EQ(chunks.size(), 6u);
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(send(i, chunks[i]).ok());
  core->drain(std::ref(writer));
  ASSERT_EQ(writer.writes.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_TRUE(writer.writes[i].first);
    EXPECT_EQ(writer.writes[i].second, chunks[i]) << "chunk " << i;
  }
  EXPECT_EQ(writer.writes.front().second.front(), 0xF0);
  EXPECT_EQ(writer.writes.back().second.size(), 174u);
  EXPECT_EQ(writer.writes.back().second.back(), 0xF7);
  ASSERT_TRUE(log.wait_count(Event::Done, 6));
  EXPECT_EQ(done(), (std::vector<std::uintptr_t>{address(0), address(1), address(2), address(3),
                                                 address(4), address(5)}));
  EXPECT_EQ(log.reports().front().id, Event::Opened);
  for (int i = 0; i < 6; ++i) {
    EXPECT_TRUE(load_flags(headers[i]) & HDR_DONE);
    EXPECT_FALSE(load_flags(headers[i]) & HDR_INQUEUE);
    EXPECT_TRUE(core->unprepare(headers[i]).ok());
  }
}

TEST_F(MidiOutCoreTest, AMessageThatFindsNoRoomWaitsWholeForTheNextCycle) {
  ASSERT_TRUE(send(0, {0x10, 0x11, 0x12}).ok());
  storage[0][0] = 0x55;  // the caller reuses its buffer: what was queued is unchanged
  writer.script = {WriteResult::NoRoom};
  core->drain(std::ref(writer));
  EXPECT_TRUE(writer.writes.empty());
  EXPECT_EQ(core->unprepare(headers[0]).error(), device_error::still_queued());
  EXPECT_EQ(core->submit(headers[0]).error(), device_error::still_queued());
  core->drain(std::ref(writer));
  ASSERT_EQ(writer.writes.size(), 1u);
  EXPECT_EQ(writer.writes[0].second, (Bytes{0x10, 0x11, 0x12}));
  ASSERT_TRUE(log.wait_count(Event::Done, 1));
}

TEST_F(MidiOutCoreTest, LossReportsCloseOnceAndNoDoneForWhatDidNotGoOut) {
  ASSERT_TRUE(send(0, {0xF0, 0x01}).ok());
  ASSERT_TRUE(send(1, {0x02, 0x03}).ok());
  ASSERT_TRUE(send(2, {0x04, 0xF7}).ok());
  writer.script = {WriteResult::Written, WriteResult::Lost};
  core->drain(std::ref(writer));
  ASSERT_TRUE(log.wait_count(Event::Closed, 1));
  EXPECT_EQ(writer.writes.size(), 1u);
  EXPECT_EQ(send(3, {0x05}).error(), device_error::lost());
  EXPECT_EQ(core->submit_short(0x403C90).error(), device_error::lost());
  core->finish();
  EXPECT_EQ(done(), std::vector<std::uintptr_t>{address(0)});
  EXPECT_EQ(log.count(Event::Closed), 1u);
  for (int i = 1; i < 3; ++i) {
    EXPECT_FALSE(load_flags(headers[i]) & (HDR_INQUEUE | HDR_DONE)) << i;
    EXPECT_TRUE(core->unprepare(headers[i]).ok());
  }
}

TEST_F(MidiOutCoreTest, ServerLossWithTheConsumerGoneLeavesNothingQueued) {
  ASSERT_TRUE(send(0, {0xF0, 0x01}).ok());
  core->consumer_gone();  // as the server's shutdown notice does; no drain ever runs again
  ASSERT_TRUE(log.wait_count(Event::Closed, 1));
  EXPECT_EQ(core->submit(headers[0]).error(), device_error::lost());
  EXPECT_EQ(send(1, {0x02}).error(), device_error::lost());
  for (int i = 0; i < 1000 && (load_flags(headers[0]) & HDR_INQUEUE); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(core->unprepare(headers[0]).ok());  // left the queue before close
  core->finish();
  EXPECT_TRUE(done().empty());
  EXPECT_EQ(core->submit(headers[0]).error(), device_error::closed());
  EXPECT_EQ(log.reports().back().id, Event::Closed);
}

TEST_F(MidiOutCoreTest, AConsumerThatStopsWithoutNoticeCountsAsLoss) {
  ASSERT_TRUE(send(0, {0xF0, 0x01}).ok());  // nobody drains: a server that hangs or died silently
  ASSERT_TRUE(log.wait_count(Event::Closed, 1));
  EXPECT_TRUE(core->lost());
  EXPECT_TRUE(done().empty());
}

// A close lets what was handed over reach a device that still takes it, however slowly (a busy
// machine's server), and gives up on one that takes nothing.
TEST_F(MidiOutCoreTest, TheDrainBeforeACloseWaitsWhileMessagesStillGoOut) {
  constexpr std::chrono::milliseconds kLimit{1000};
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(send(i, {0xF0, static_cast<std::uint8_t>(i), 0xF7}));
  std::thread consumer([&] {  // one message per cycle, cycles 0.4 s apart: 1.6 s in all
    for (int i = 0; i < 4; ++i) {
      std::this_thread::sleep_for(kLimit * 2 / 5);
      bool one = false;
      core->drain([&](bool is_long, const std::uint8_t* data, std::size_t size) {
        if (one) return WriteResult::NoRoom;
        one = true;
        return writer(is_long, data, size);
      });
    }
  });
  EXPECT_TRUE(core->wait_idle(kLimit));
  consumer.join();
  EXPECT_EQ(writer.writes.size(), 4u);

  ASSERT_TRUE(send(4, {0xF7}));  // nobody drains it now
  EXPECT_FALSE(core->wait_idle(std::chrono::milliseconds(50)));
}

TEST_F(MidiOutCoreTest, ShortMessagesGoWithTheirLengthAndNoReport) {
  EXPECT_TRUE(core->submit_short(0x403C90).ok());
  EXPECT_TRUE(core->submit_short(0x05C0).ok());
  EXPECT_TRUE(core->submit_short(0xF8).ok());
  EXPECT_EQ(core->submit_short(0x3C).error(), device_error::bad_buffer());  // no status byte
  EXPECT_EQ(core->submit_short(0xF0).error(), device_error::bad_buffer());
  core->drain(std::ref(writer));
  ASSERT_EQ(writer.writes.size(), 3u);
  EXPECT_EQ(writer.writes[0], (std::pair<bool, Bytes>{false, {0x90, 0x3C, 0x40}}));
  EXPECT_EQ(writer.writes[1], (std::pair<bool, Bytes>{false, {0xC0, 0x05}}));
  EXPECT_EQ(writer.writes[2], (std::pair<bool, Bytes>{false, {0xF8}}));
  core->finish();
  EXPECT_TRUE(done().empty());
}

TEST_F(MidiOutCoreTest, BadHeadersAreRefusedAndNothingIsQueued) {
  MidiHeader unprepared{storage[0].data(), 1, 0, 0};
  storage[0] = {0xF0};
  unprepared.data = storage[0].data();
  EXPECT_EQ(core->submit(unprepared).error(), device_error::unprepared());
  EXPECT_EQ(send(1, Bytes(1025, 0x01)).error(),
            device_error::bad_buffer());  // longer than the device takes
  storage[2] = {0xF0};
  headers[2] = MidiHeader{storage[2].data(), 0, 0, 0};
  ASSERT_TRUE(core->prepare(headers[2]).ok());
  EXPECT_EQ(core->submit(headers[2]).error(), device_error::bad_buffer());
  EXPECT_TRUE(core->idle());
  core->finish();
  EXPECT_EQ(send(3, {0xF0, 0xF7}).error(), device_error::closed());
}

}  // namespace
}  // namespace brisca
