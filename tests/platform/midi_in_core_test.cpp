// The input core: what the caller's buffers receive and which reports come, for good and bad
// input, with buffers to spare and without.
#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "platform/core/header_flags.h"
#include "platform/core/midi_in_core.h"
#include "tests/platform/report_log.h"

namespace brisca {
namespace {

using test::bytes_of;
using test::Event;
using test::ReportLog;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

struct Buffers {
  explicit Buffers(std::uint32_t size) {
    for (std::size_t i = 0; i < headers.size(); ++i) {
      storage[i].resize(size);
      headers[i].data = storage[i].data();
      headers[i].buffer_length = size;
    }
  }
  std::array<std::vector<std::uint8_t>, 4> storage;
  std::array<MidiHeader, 4> headers{};
};

class MidiInCoreTest : public ::testing::Test {
 protected:
  void open(std::uint32_t buffer_size, int queued, std::chrono::milliseconds wait = 60s,
            std::size_t ring = MidiInCore::kRingBytes) {
    buffers = std::make_unique<Buffers>(buffer_size);
    core = std::make_unique<MidiInCore>(log, ring, wait);
    core->begin();
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(core->prepare(buffers->headers[i]).ok());
    for (int i = 0; i < queued; ++i) ASSERT_TRUE(core->add_buffer(buffers->headers[i]).ok());
    ASSERT_TRUE(core->start().ok());
  }
  bool push(const Bytes& piece) { return core->push(piece.data(), piece.size()); }
  MidiHeader& header(int i) { return buffers->headers[i]; }
  const MidiHeader* reported(const test::Report& r) {
    return reinterpret_cast<const MidiHeader*>(r.param1);
  }
  std::vector<test::Report> of(Event id) {
    std::vector<test::Report> out;
    for (const auto& r : log.reports())
      if (r.id == id) out.push_back(r);
    return out;
  }

  ReportLog log;
  std::unique_ptr<Buffers> buffers;
  std::unique_ptr<MidiInCore> core;
};

TEST_F(MidiInCoreTest, ALongSysexFillsTheBuffersInOrder) {
  open(8, 4);
  Bytes sysex{0xF0};
  for (int i = 0; i < 18; ++i) sysex.push_back(static_cast<std::uint8_t>(i));
  sysex.push_back(0xF7);
  push(Bytes(sysex.begin(), sysex.begin() + 5));  // pieces that do not line up with buffers
  push(Bytes(sysex.begin() + 5, sysex.begin() + 13));
  push(Bytes(sysex.begin() + 13, sysex.end()));
  ASSERT_TRUE(log.wait_count(Event::Sysex, 3));
  const auto longs = of(Event::Sysex);
  ASSERT_EQ(longs.size(), 3u);
  Bytes joined;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(reported(longs[i]), &header(i));
    const Bytes part = bytes_of(header(i));
    joined.insert(joined.end(), part.begin(), part.end());
    EXPECT_TRUE(load_flags(header(i)) & HDR_DONE);
    EXPECT_FALSE(load_flags(header(i)) & HDR_INQUEUE);
  }
  EXPECT_EQ(header(0).bytes_recorded, 8u);
  EXPECT_EQ(header(2).bytes_recorded, 4u);
  EXPECT_EQ(joined, sysex);
}

TEST_F(MidiInCoreTest, ShortMessagesAndSysexKeepTheirOrder) {
  open(64, 2);
  push({0x90, 0x3C, 0x00});
  push({0xF0, 0x01, 0xF8, 0x02, 0xF7});  // real time inside: reported first, not stored
  push({0xC5, 0x07});
  ASSERT_TRUE(log.wait_count(Event::Data, 3));
  core->finish();
  std::vector<std::pair<Event, std::uintptr_t>> seen;
  for (const auto& r : log.reports()) seen.emplace_back(r.id, r.param1);
  const auto sysex = reinterpret_cast<std::uintptr_t>(&header(0));
  const auto other = reinterpret_cast<std::uintptr_t>(&header(1));
  EXPECT_EQ(seen, (std::vector<std::pair<Event, std::uintptr_t>>{{Event::Opened, 0},
                                                                 {Event::Data, 0x003C90},
                                                                 {Event::Data, 0xF8},
                                                                 {Event::Sysex, sysex},
                                                                 {Event::Data, 0x07C5},
                                                                 {Event::Sysex, other},
                                                                 {Event::Closed, 0}}));
  EXPECT_EQ(bytes_of(header(0)), (Bytes{0xF0, 0x01, 0x02, 0xF7}));
  EXPECT_EQ(header(1).bytes_recorded, 0u);  // returned empty at close
}

TEST_F(MidiInCoreTest, SysexCutShortEndsItsBufferAndStrayDataIsDropped) {
  open(64, 2);
  push({0xF0, 0x01, 0x02});
  push({0x80, 0x3C, 0x00});  // no F7: the SysEx ends here
  push({0x11, 0x22});        // a continuation whose start was lost: not read as notes
  push({0xFE});
  ASSERT_TRUE(log.wait_count(Event::Data, 2));
  ASSERT_EQ(of(Event::Sysex).size(), 1u);
  EXPECT_EQ(bytes_of(header(0)), (Bytes{0xF0, 0x01, 0x02}));
  const auto shorts = of(Event::Data);
  EXPECT_EQ(shorts[0].param1, 0x003C80u);
  EXPECT_EQ(shorts[1].param1, 0xFEu);
  EXPECT_EQ(core->dropped_bytes(), 2u);
}

TEST_F(MidiInCoreTest, WithNoBufferASysexWaitsForOne) {
  open(16, 0);
  push({0xF0, 0x05, 0x06, 0xF7});
  push({0x90, 0x40, 0x7F});
  std::this_thread::sleep_for(50ms);  // most likely the worker waits by now; either way is right
  ASSERT_TRUE(core->add_buffer(header(0)).ok());
  ASSERT_TRUE(log.wait_count(Event::Data, 1));
  ASSERT_EQ(of(Event::Sysex).size(), 1u);
  EXPECT_EQ(bytes_of(header(0)), (Bytes{0xF0, 0x05, 0x06, 0xF7}));
  EXPECT_EQ(core->dropped_sysex(), 0u);
}

TEST_F(MidiInCoreTest, WithNoBufferInTimeSysexIsDroppedAndShortMessagesGoOn) {
  open(16, 0, 20ms);
  push({0xF0, 0x05, 0x06, 0xF7});
  push({0x90, 0x40, 0x7F});
  push({0xF0, 0x07, 0xF7});  // no wait now: dropped at once
  push({0xB0, 0x07, 0x64});
  ASSERT_TRUE(log.wait_count(Event::Data, 2));
  EXPECT_EQ(core->dropped_sysex(), 2u);
  EXPECT_EQ(of(Event::Sysex).size(), 0u);
  ASSERT_TRUE(core->add_buffer(header(0)).ok());  // a buffer again: SysEx is taken again
  push({0xF0, 0x08, 0xF7});
  ASSERT_TRUE(log.wait_count(Event::Sysex, 1));
  EXPECT_EQ(bytes_of(header(0)), (Bytes{0xF0, 0x08, 0xF7}));
}

TEST_F(MidiInCoreTest, AFullRingDropsWholePiecesWithoutBlocking) {
  open(4096, 0, 60s, 1024);
  push({0xF0, 0x01});  // the worker now waits for a buffer while the ring fills
  std::this_thread::sleep_for(20ms);
  const Bytes piece(100, 0x10);
  for (int i = 0; i < 40; ++i) push(piece);
  EXPECT_GT(core->dropped_pieces(), 0u);
  ASSERT_TRUE(core->add_buffer(header(0)).ok());
  for (int i = 0; i < 10000 && !push({0xF7}); ++i) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(log.wait_count(Event::Sysex, 1));
  const Bytes got = bytes_of(header(0));
  ASSERT_GE(got.size(), 3u);
  EXPECT_EQ(got[0], 0xF0);
  EXPECT_EQ(got[1], 0x01);
  EXPECT_EQ(got.back(), 0xF7);
  EXPECT_EQ((got.size() - 3) % 100, 0u);  // whole pieces only
}

TEST_F(MidiInCoreTest, StopDiscardsTheSysexInProgressAndResetReturnsEveryBufferEmpty) {
  open(64, 3);
  push({0xF0, 0x01, 0x02});
  push({0x90, 0x3C, 0x40});  // ends the SysEx: buffer 0 delivered
  push({0xF0, 0x03, 0x04});  // left open in buffer 1
  ASSERT_TRUE(log.wait_count(Event::Data, 1));
  ASSERT_TRUE(core->stop().ok());
  push({0x05, 0xF7, 0x90, 0x3C, 0x41});  // after stop: ignored
  ASSERT_TRUE(core->reset().ok());
  const auto longs = of(Event::Sysex);
  ASSERT_EQ(longs.size(), 3u);
  EXPECT_EQ(reported(longs[1]), &header(1));
  EXPECT_EQ(reported(longs[2]), &header(2));
  EXPECT_EQ(header(1).bytes_recorded, 0u);
  EXPECT_EQ(header(2).bytes_recorded, 0u);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(core->unprepare(header(i)).ok());
  core->finish();
  EXPECT_EQ(of(Event::Data).size(), 1u);
  EXPECT_EQ(log.reports().back().id, Event::Closed);
}

TEST_F(MidiInCoreTest, HeaderMisuseIsRefused) {
  open(16, 1);
  MidiHeader unprepared{buffers->storage[3].data(), 16, 0, 0};
  EXPECT_EQ(core->add_buffer(unprepared).error(), device_error::unprepared());
  EXPECT_EQ(core->add_buffer(header(0)).error(), device_error::still_queued());
  EXPECT_EQ(core->unprepare(header(0)).error(), device_error::still_queued());
  MidiHeader empty{};
  EXPECT_EQ(core->prepare(empty).error(), device_error::bad_buffer());
  core->finish();
  EXPECT_TRUE(core->unprepare(header(0)).ok());
  EXPECT_EQ(core->add_buffer(header(1)).error(), device_error::closed());
  const std::size_t before = log.reports().size();
  push({0x90, 0x3C, 0x40});
  std::this_thread::sleep_for(10ms);
  EXPECT_EQ(log.reports().size(), before);  // nothing after close
}

}  // namespace
}  // namespace brisca
