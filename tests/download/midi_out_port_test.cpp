#include "download/midi_out_port.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "tests/download/fake_midi_out.h"

namespace brisca {
namespace {

using test::FakeMidiService;

TEST(MidiOutPort, OpensTheChosenEntryOrNothing) {
  FakeMidiService service;
  MidiOutPort port(service);
  EXPECT_EQ(port.open(0), 0);
  EXPECT_TRUE(service.log->opened.empty());
  EXPECT_EQ(port.open(2), 2);
  EXPECT_EQ(service.log->opened.back(), 1);
  EXPECT_TRUE(port.is_open());
  service.fail_open = true;
  EXPECT_EQ(port.open(1), 0);
  EXPECT_FALSE(port.is_open());
  EXPECT_EQ(service.log->closes, 1);  // the device open before was closed first
}

TEST(MidiOutPort, HeadersRotateThroughFourAndRestartOnOpen) {
  FakeMidiService service;
  MidiOutPort port(service);
  port.open(1);
  std::set<MidiHeader*> seen;
  MidiHeader* first = &port.next_header();
  seen.insert(first);
  for (int i = 0; i < 3; ++i) seen.insert(&port.next_header());
  EXPECT_EQ(seen.size(), 4u);
  EXPECT_EQ(&port.next_header(), first);
  port.open(1);
  EXPECT_EQ(&port.next_header(), first);
}

TEST(MidiOutPort, EachTakeConsumesOneReport) {
  FakeMidiService service;
  MidiOutPort port(service);
  port.open(1);
  EXPECT_EQ(port.waiting(), 1u);  // the open report
  EXPECT_EQ(port.take_done_header(), nullptr);
  EXPECT_EQ(port.waiting(), 0u);
  EXPECT_EQ(port.take_done_header(), nullptr);  // empty ring

  MidiHeader& h = port.next_header();
  MidiHeader foreign;
  service.log->listener->done(h);
  service.log->listener->closed();
  service.log->listener->done(foreign);  // not one of the port's headers
  EXPECT_EQ(port.take_done_header(), &h);
  EXPECT_EQ(port.take_done_header(), nullptr);
  EXPECT_EQ(port.take_done_header(), nullptr);
  EXPECT_EQ(port.waiting(), 0u);
}

TEST(MidiOutPort, RingIndicesWrapAndAFullRingDropsInsteadOfOverwriting) {
  FakeMidiService service;
  MidiOutPort port(service);
  port.open(1);
  port.take_report();  // the open report was entry 0
  // Headers told apart by their place in an array, as the entries are by their order.
  std::vector<MidiHeader> headers(MidiOutPort::kRingSize + 1);
  for (std::uint32_t i = 1; i < MidiOutPort::kRingSize; ++i) {
    service.log->listener->done(headers[i]);
    ASSERT_EQ(port.take_report()->header, &headers[i]);
  }
  EXPECT_EQ(port.write_index(), 0u);
  EXPECT_EQ(port.read_index(), 0u);

  for (MidiHeader& h : headers) service.log->listener->done(h);
  EXPECT_EQ(port.waiting(), MidiOutPort::kRingSize);
  EXPECT_EQ(port.dropped(), 1u);
  for (std::uint32_t i = 0; i < MidiOutPort::kRingSize; ++i)
    ASSERT_EQ(port.take_report()->header, &headers[i]);
  EXPECT_EQ(port.take_report(), std::nullopt);
}

// The device's thread writes while the window's thread takes: every entry arrives whole and
// in order.
TEST(MidiOutPort, RingCarriesReportsAcrossThreads) {
  FakeMidiService service;
  MidiOutPort port(service);
  port.open(1);
  port.take_report();
  constexpr std::uint32_t kReports = 200000;
  std::vector<MidiHeader> headers(7);  // each entry names the next in turn
  std::thread device([&] {
    for (std::uint32_t i = 0; i < kReports; ++i) {
      while (port.waiting() >= MidiOutPort::kRingSize) std::this_thread::yield();
      service.log->listener->done(headers[i % headers.size()]);
    }
  });
  std::uint32_t next = 0;
  while (next < kReports) {
    auto report = port.take_report();
    if (!report) {
      std::this_thread::yield();
      continue;
    }
    ASSERT_EQ(report->kind, PortReport::Kind::Done);
    ASSERT_EQ(report->header, &headers[next % headers.size()]);
    ++next;
  }
  device.join();
  EXPECT_EQ(port.dropped(), 0u);
}

}  // namespace
}  // namespace brisca
