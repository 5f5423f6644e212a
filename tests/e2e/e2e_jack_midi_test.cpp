// The JACK MIDI devices against a real server: what the service lists, what arrives at a port
// of the test's own, byte for byte and event by event, and what comes in from one.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <thread>

#include "common/loop_clock.h"
#include "platform/rtmidi/rtmidi_service.h"
#include "tests/e2e/jack_peer.h"
#include "tests/e2e/jack_server.h"
#include "tests/platform/report_log.h"

namespace brisca {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::Event;
using test::JackPeer;
using test::ReportLog;
using Clock = std::chrono::steady_clock;

int index_of(const std::vector<std::string>& names, const std::string& entry) {
  const auto it = std::find(names.begin(), names.end(), entry);
  return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

// Five 1174-byte SysEx messages in 200-byte chunks, as a sound file down-loads.
std::vector<Bytes> download_chunks() {
  std::vector<Bytes> chunks;
  for (int m = 0; m < 5; ++m) {
    Bytes message(1174);
    for (std::size_t i = 0; i < message.size(); ++i)
      message[i] = static_cast<std::uint8_t>((i * 7 + m) & 0x7F);
    message.front() = 0xF0;
    message.back() = 0xF7;
    for (std::size_t at = 0; at < message.size(); at += 200)
      chunks.emplace_back(message.begin() + at,
                          message.begin() + std::min(at + 200, message.size()));
  }
  return chunks;
}

double cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class JackMidiTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(test::use_jack_server(test::fixture_server_dir())); }

  std::unique_ptr<MidiOutDevice> open_output_to(JackPeer& sink) {
    const int device = index_of(service.output_names(), "JACK: " + sink.port_name());
    EXPECT_GE(device, 0);
    return device < 0 ? nullptr : service.open_output(device, log);
  }

  RtMidiService service;
  ReportLog log;
};

// With its output open the program's own port ("BriscaTool out:out") is not offered as an
// input, nor its input as an output: the setup lists never wire the program to itself.
TEST_F(JackMidiTest, OwnPortsAreNeverListed) {
  JackPeer sink("brisca-e2e-own", JackPeer::Role::Receive);
  ASSERT_TRUE(sink.ok());
  auto out = open_output_to(sink);
  ASSERT_NE(out, nullptr);
  ASSERT_TRUE(log.wait_count(Event::Opened, 1));
  const std::vector<std::string> inputs = service.input_names();
  const std::vector<std::string> outputs = service.output_names();
  EXPECT_GE(index_of(outputs, "JACK: " + sink.port_name()), 0);
  for (const std::vector<std::string>* names : {&inputs, &outputs})
    for (const std::string& name : *names)
      EXPECT_EQ(name.find("BriscaTool"), std::string::npos) << name;
  EXPECT_TRUE(out->close().ok());
}

TEST_F(JackMidiTest, ChunksArriveEachAsItsOwnEventByteForByte) {
  JackPeer sink("brisca-e2e-sink", JackPeer::Role::Receive);
  ASSERT_TRUE(sink.ok());
  auto out = open_output_to(sink);
  ASSERT_NE(out, nullptr);
  ASSERT_TRUE(log.wait_count(Event::Opened, 1));

  // Paced as the down-load does it: one chunk out, its done report, the next 70 ms after the last.
  const auto chunks = download_chunks();
  std::vector<MidiHeader> headers(4);
  std::vector<double> latency_ms;
  const double cpu_before = cpu_seconds();
  const auto start = Clock::now();
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    std::this_thread::sleep_until(start + i * 70ms);
    MidiHeader& header = headers[i % 4];
    header = {const_cast<std::uint8_t*>(chunks[i].data()),
              static_cast<std::uint32_t>(chunks[i].size()), 0, 0};
    ASSERT_TRUE(out->prepare_header(header).ok());
    const auto sent = Clock::now();
    ASSERT_TRUE(out->long_msg(header).ok());
    ASSERT_TRUE(log.wait_count(Event::Done, i + 1));
    latency_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    ASSERT_TRUE(out->unprepare_header(header).ok());
  }
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpu = cpu_seconds() - cpu_before;
  ASSERT_TRUE(sink.wait_events(chunks.size()));
  EXPECT_EQ(sink.events(), chunks);

  std::sort(latency_ms.begin(), latency_ms.end());
  const double mean =
      std::accumulate(latency_ms.begin(), latency_ms.end(), 0.0) / latency_ms.size();
  std::printf(
      "[figures] long_msg -> done report on JACK (256 frames @ 44.1 kHz): mean %.2f ms, "
      "median %.2f ms, max %.2f ms over %zu chunks\n",
      mean, latency_ms[latency_ms.size() / 2], latency_ms.back(), latency_ms.size());
  std::printf("[figures] CPU while sending at the 70 ms pace: %.2f%% of one core\n",
              100.0 * cpu / wall);
  EXPECT_TRUE(out->close().ok());
  EXPECT_EQ(log.reports().back().id, Event::Closed);
}

TEST_F(JackMidiTest, QueuedChunksAreNeitherMergedNorSplit) {
  JackPeer sink("brisca-e2e-sink", JackPeer::Role::Receive);
  ASSERT_TRUE(sink.ok());
  auto out = open_output_to(sink);
  ASSERT_NE(out, nullptr);
  const auto chunks = download_chunks();
  std::vector<MidiHeader> headers(chunks.size());
  for (std::size_t i = 0; i < chunks.size(); ++i) {  // all at once: several share a cycle
    headers[i] = {const_cast<std::uint8_t*>(chunks[i].data()),
                  static_cast<std::uint32_t>(chunks[i].size()), 0, 0};
    ASSERT_TRUE(out->prepare_header(headers[i]).ok());
    ASSERT_TRUE(out->long_msg(headers[i]).ok());
  }
  ASSERT_TRUE(out->short_msg(0x403C90).ok());
  ASSERT_TRUE(log.wait_count(Event::Done, chunks.size()));
  ASSERT_TRUE(sink.wait_events(chunks.size() + 1));
  std::vector<Bytes> expected = chunks;
  expected.push_back({0x90, 0x3C, 0x40});
  EXPECT_EQ(sink.events(), expected);
  std::vector<std::uintptr_t> done;
  for (const auto& r : log.reports())
    if (r.id == Event::Done) done.push_back(r.param1);
  ASSERT_EQ(done.size(), headers.size());
  for (std::size_t i = 0; i < headers.size(); ++i)
    EXPECT_EQ(done[i], reinterpret_cast<std::uintptr_t>(&headers[i]));
  EXPECT_TRUE(out->close().ok());
}

TEST_F(JackMidiTest, ARememberedEntryOpensItsPortAfterOthersArrive) {
  JackPeer sink("brisca-e2e-sink", JackPeer::Role::Receive);
  ASSERT_TRUE(sink.ok());
  const std::vector<std::string> names = service.output_names();
  const int device = index_of(names, "JACK: brisca-e2e-sink:in");
  ASSERT_GE(device, 0);
  EXPECT_EQ(index_of(names, "JACK: system:playback_1"), -1);  // audio ports are not listed
  JackPeer other("brisca-e2e-aaa", JackPeer::Role::Receive);  // arrives between list and open
  ASSERT_TRUE(other.ok());
  auto out = service.open_output(device, log);
  ASSERT_NE(out, nullptr);
  ASSERT_TRUE(out->short_msg(0xFE).ok());
  ASSERT_TRUE(sink.wait_events(1));
  EXPECT_TRUE(other.events().empty());
  EXPECT_TRUE(out->close().ok());
  EXPECT_EQ(out->close().error(), device_error::closed());
}

TEST_F(JackMidiTest, AReceiverThatLeavesCountsAsALostDevice) {
  auto sink = std::make_unique<JackPeer>("brisca-e2e-sink", JackPeer::Role::Receive);
  ASSERT_TRUE(sink->ok());
  auto out = open_output_to(*sink);
  ASSERT_NE(out, nullptr);
  Bytes chunk(200, 0x22);
  MidiHeader header{chunk.data(), 200, 0, 0};
  ASSERT_TRUE(out->prepare_header(header).ok());
  ASSERT_TRUE(out->long_msg(header).ok());
  ASSERT_TRUE(log.wait_count(Event::Done, 1));
  sink.reset();  // the device is unplugged; the server stays
  ASSERT_TRUE(out->long_msg(header).ok());
  ASSERT_TRUE(log.wait_count(Event::Closed, 1));
  EXPECT_EQ(log.count(Event::Done), 1u);  // the chunk nobody received is not reported done
  EXPECT_EQ(out->long_msg(header).error(), device_error::lost());
  EXPECT_TRUE(out->close().ok());
  EXPECT_TRUE(out->unprepare_header(header).ok());
}

TEST_F(JackMidiTest, MessagesFromOutsideArriveAsReportsAndFilledBuffers) {
  JackPeer source("brisca-e2e-source", JackPeer::Role::Send);
  ASSERT_TRUE(source.ok());
  const int device = index_of(service.input_names(), "JACK: brisca-e2e-source:out");
  ASSERT_GE(device, 0);
  auto in = service.open_input(device, log);
  ASSERT_NE(in, nullptr);
  std::vector<std::vector<std::uint8_t>> storage(4, std::vector<std::uint8_t>(64));
  std::vector<MidiHeader> headers(4);
  for (int i = 0; i < 4; ++i) {
    headers[i] = {storage[i].data(), 64, 0, 0};
    ASSERT_TRUE(in->prepare_header(headers[i]).ok());
    ASSERT_TRUE(in->add_buffer(headers[i]).ok());
  }
  ASSERT_TRUE(in->start().ok());

  Bytes sysex(150);
  for (std::size_t i = 0; i < sysex.size(); ++i) sysex[i] = static_cast<std::uint8_t>(i & 0x7F);
  sysex.front() = 0xF0;
  sysex.back() = 0xF7;
  ASSERT_TRUE(source.wait_connected());
  source.send({{0x90, 0x3C, 0x40}, {0xC5, 0x07}, {0xFE}});
  source.send({Bytes(sysex.begin(), sysex.begin() + 60), {0xF8}});  // a clock inside the SysEx
  source.send({Bytes(sysex.begin() + 60, sysex.end()), {0x80, 0x3C, 0x00}});
  ASSERT_TRUE(source.wait_sent());
  ASSERT_TRUE(log.wait_count(Event::Data, 5));
  ASSERT_TRUE(log.wait_count(Event::Sysex, 3));

  std::vector<std::uintptr_t> shorts;
  Bytes joined;
  for (const auto& r : log.reports()) {
    if (r.id == Event::Data) shorts.push_back(r.param1);
    if (r.id == Event::Sysex) {
      const auto* header = reinterpret_cast<const MidiHeader*>(r.param1);
      joined.insert(joined.end(), header->data, header->data + header->bytes_recorded);
    }
  }
  EXPECT_EQ(shorts, (std::vector<std::uintptr_t>{0x403C90, 0x07C5, 0xFE, 0xF8, 0x003C80}));
  EXPECT_EQ(joined, sysex);
  EXPECT_EQ(headers[0].bytes_recorded, 64u);
  EXPECT_EQ(headers[2].bytes_recorded, 22u);

  // The monitor's way out: stop, reset (the last buffer comes back empty), unprepare, close.
  EXPECT_TRUE(in->stop().ok());
  EXPECT_TRUE(in->reset().ok());
  EXPECT_EQ(log.count(Event::Sysex), 4u);
  EXPECT_EQ(headers[3].bytes_recorded, 0u);
  for (auto& header : headers) EXPECT_TRUE(in->unprepare_header(header).ok());
  EXPECT_TRUE(in->close().ok());
  EXPECT_EQ(log.reports().back().id, Event::Closed);
}

// The service's watch tells of a port that comes and goes, named as output_names() lists it,
// on the clock's thread; audio ports and the program's own ports are not told. The time from a
// port's registration to its event is printed.
TEST_F(JackMidiTest, TheWatchTellsOfAPortComingAndGoing) {
  struct Heard final : DeviceWatchListener {
    void device_changed(const DeviceEvent& event) override {
      events.push_back(event);
      at.push_back(Clock::now());
    }
    int find(DeviceChange change, const std::string& name) const {
      for (std::size_t i = 0; i < events.size(); ++i)
        if (events[i] == DeviceEvent{change, DeviceKind::MidiOut, name}) return static_cast<int>(i);
      return -1;
    }
    std::vector<DeviceEvent> events;
    std::vector<Clock::time_point> at;
  } heard;
  LoopClock clock;
  auto watch = service.watch(clock, heard);
  ASSERT_NE(watch, nullptr);

  jack_client_t* client = jack_client_open("brisca-e2e-watch", JackNoStartServer, nullptr);
  ASSERT_NE(client, nullptr);
  ASSERT_EQ(jack_activate(client), 0);
  const Clock::time_point registered = Clock::now();
  jack_port_t* port = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  ASSERT_NE(port, nullptr);
  ASSERT_NE(jack_port_register(client, "audio", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0),
            nullptr);
  const std::string name = "JACK: brisca-e2e-watch:in";
  ASSERT_TRUE(clock.run([&] { return heard.find(DeviceChange::Added, name) >= 0; }, 30s));
  const auto latency =
      heard.at[static_cast<std::size_t>(heard.find(DeviceChange::Added, name))] - registered;
  std::printf("port registered to watch event: %.2f ms\n",
              std::chrono::duration<double, std::milli>(latency).count());
  EXPECT_GE(index_of(service.output_names(), name), 0);

  // Our own output, opened to the port, is not told; the port's going is.
  JackPeer sink("brisca-e2e-watch-sink", JackPeer::Role::Receive);
  ASSERT_TRUE(sink.ok());
  auto out = open_output_to(sink);
  ASSERT_NE(out, nullptr);
  ASSERT_TRUE(log.wait_count(Event::Opened, 1));
  jack_client_close(client);
  ASSERT_TRUE(clock.run([&] { return heard.find(DeviceChange::Removed, name) >= 0; }, 30s));
  EXPECT_TRUE(out->close().ok());
  for (const DeviceEvent& event : heard.events) {
    EXPECT_EQ(event.name.find("BriscaTool"), std::string::npos) << event.name;
    EXPECT_EQ(event.name.find("audio"), std::string::npos) << event.name;
  }
}

}  // namespace
}  // namespace brisca
