// A JACK server that dies in the middle of a down-load: the output must say so (closed(), then
// DeviceLost), report no chunk done that did not go out, use no CPU afterwards, and close
// at once. Each case starts a private server, as it kills it.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <thread>

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

double cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class JackServerLossTest : public ::testing::TestWithParam<int> {};

TEST_P(JackServerLossTest, TheOutputFailsSafeAndClosesAtOnce) {
  const int signal = GetParam();
  test::PrivateJackServer server(test::env_or("BRISCA_BUILD_DIR", ".") + "/e2e-platform/loss-" +
                                 std::to_string(signal));
  ASSERT_TRUE(server.started());
  JackPeer sink("brisca-e2e-sink", JackPeer::Role::Receive);
  ASSERT_TRUE(sink.ok());
  RtMidiService service;
  const auto names = service.output_names();
  const auto it = std::find(names.begin(), names.end(), "JACK: " + sink.port_name());
  ASSERT_NE(it, names.end());
  ReportLog log;
  auto out = service.open_output(static_cast<int>(it - names.begin()), log);
  ASSERT_NE(out, nullptr);

  // Chunks back to back, each after the last one's done report; the server dies after ten.
  Bytes chunk(200, 0x11);
  MidiHeader header{chunk.data(), 200, 0, 0};
  std::size_t accepted = 0;
  bool refused = false;
  for (int i = 0; i < 1000 && !refused; ++i) {
    if (i == 10) {
      ASSERT_TRUE(server.kill_with(signal));
    }
    (void)out->prepare_header(header);
    refused = !out->long_msg(header);
    if (refused) break;
    ++accepted;
    while (log.count(Event::Done) < accepted && log.count(Event::Closed) == 0)
      log.wait_count(Event::Done, accepted, 10ms);
    if (log.count(Event::Closed) > 0) break;
  }
  ASSERT_TRUE(log.wait_count(Event::Closed, 1));
  EXPECT_EQ(out->long_msg(header).error(), device_error::lost());
  EXPECT_EQ(out->short_msg(0xFE).error(), device_error::lost());
  const std::size_t done = log.count(Event::Done);
  EXPECT_LE(done, accepted);
  EXPECT_GE(done, 10u);

  // Nothing spins: over a second the whole process uses a small part of a core.
  const double cpu_before = cpu_seconds();
  const auto quiet_start = Clock::now();
  std::this_thread::sleep_for(1s);
  const double cpu = cpu_seconds() - cpu_before;
  const double wall = std::chrono::duration<double>(Clock::now() - quiet_start).count();
  EXPECT_LT(cpu / wall, 0.25) << "a thread keeps running after the server died";

  const auto close_start = Clock::now();
  EXPECT_TRUE(out->close().ok());
  const double close_ms =
      std::chrono::duration<double, std::milli>(Clock::now() - close_start).count();
  EXPECT_EQ(log.count(Event::Closed), 1u);
  EXPECT_EQ(log.count(Event::Done), done);
  EXPECT_TRUE(out->unprepare_header(header).ok());  // the chunk that did not go out left the queue
  std::printf(
      "[figures] server killed (signal %d): %zu chunks done, CPU afterwards %.2f%% of one "
      "core, close() took %.1f ms\n",
      signal, done, 100.0 * cpu / wall, close_ms);
  sink.close();
}

INSTANTIATE_TEST_SUITE_P(Signals, JackServerLossTest, ::testing::Values(SIGKILL, SIGTERM));

}  // namespace
}  // namespace brisca
