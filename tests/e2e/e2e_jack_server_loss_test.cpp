// A JACK server that dies in the middle of a down-load: the output must say so (MOM_CLOSE, then
// MIDIERR_NODEVICE), report no chunk done that did not go out, use no CPU afterwards, and close
// at once. A server that dies under the monitor: the input must say so and listen again once a
// server is back. Each case starts a private server, as it kills it.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "monitor/midi_in_port.h"
#include "monitor/monitor_display.h"
#include "platform/rtmidi/rtmidi_service.h"
#include "tests/e2e/jack_peer.h"
#include "tests/e2e/jack_server.h"
#include "tests/platform/report_log.h"
#include "tests/support/fake_window.h"

namespace brisca {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
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
  auto out = service.open_output(static_cast<int>(it - names.begin()), log.callback());
  ASSERT_NE(out, nullptr);

  // Chunks back to back, each after the last one's MOM_DONE; the server dies after ten.
  Bytes chunk(200, 0x11);
  MidiHeader header{chunk.data(), 200, 0, 0};
  std::size_t accepted = 0;
  int refused = 0;
  for (int i = 0; i < 1000 && refused == 0; ++i) {
    if (i == 10) {
      ASSERT_TRUE(server.kill_with(signal));
    }
    out->prepare_header(header);
    refused = out->long_msg(header);
    if (refused != 0) break;
    ++accepted;
    while (log.count(MOM_DONE) < accepted && log.count(MOM_CLOSE) == 0)
      log.wait_count(MOM_DONE, accepted, 10ms);
    if (log.count(MOM_CLOSE) > 0) break;
  }
  ASSERT_TRUE(log.wait_count(MOM_CLOSE, 1));
  EXPECT_EQ(out->long_msg(header), MIDIERR_NODEVICE);
  EXPECT_EQ(out->short_msg(0xFE), MIDIERR_NODEVICE);
  const std::size_t done = log.count(MOM_DONE);
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
  EXPECT_EQ(out->close(), 0);
  const double close_ms =
      std::chrono::duration<double, std::milli>(Clock::now() - close_start).count();
  EXPECT_EQ(log.count(MOM_CLOSE), 1u);
  EXPECT_EQ(log.count(MOM_DONE), done);
  EXPECT_EQ(out->unprepare_header(header), 0);  // the chunk that did not go out left the queue
  std::printf(
      "[figures] server killed (signal %d): %zu chunks done, CPU afterwards %.2f%% of one "
      "core, close() took %.1f ms\n",
      signal, done, 100.0 * cpu / wall, close_ms);
  sink.close();
}

// Handles what the port posted, as the window would, until `done` or `limit`.
template <class Done>
bool pump(test::FakeWindow& window, MidiInPort& port, Done done,
          std::chrono::milliseconds limit = 10s) {
  const auto end = Clock::now() + limit;
  while (!done()) {
    test::Posted posted{};
    if (window.take_posted(posted))
      port.handle_input_event(posted.wparam, posted.lparam);
    else if (Clock::now() > end)
      return false;
    else
      std::this_thread::sleep_for(1ms);
  }
  return true;
}

// A connection made just now may take a cycle to carry events: the message is sent again until
// its field shows it.
bool send_until_shown(JackPeer& source, test::FakeWindow& window, MidiInPort& port,
                      const Bytes& message, Field field) {
  const std::uint32_t packed = message[0] | message[1] << 8 | message[2] << 16;
  const std::string text = short_message_text(static_cast<int>(field), packed);
  for (int attempt = 0; attempt < 50; ++attempt) {
    source.send({message});
    if (pump(window, port, [&] { return window.field(field) == text; }, 200ms)) return true;
  }
  return false;
}

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TEST(JackInputLoss, TheMonitorHearsOfTheLossAndListensAgainOnceTheServerIsBack) {
  const std::string dir = test::env_or("BRISCA_BUILD_DIR", ".") + "/e2e-platform/input-loss";
  auto server = std::make_unique<test::PrivateJackServer>(dir);
  ASSERT_TRUE(server->started());
  const char* const kSource = "brisca-e2e-source";
  auto source = std::make_unique<JackPeer>(kSource, JackPeer::Role::Send);
  ASSERT_TRUE(source->ok());
  RtMidiService service;
  const auto names = service.input_names();
  const auto it = std::find(names.begin(), names.end(), "JACK: " + source->port_name());
  ASSERT_NE(it, names.end());
  const int choice = static_cast<int>(it - names.begin()) + 1;

  test::FakeWindow window;
  MidiInPort port(service);
  port.keep_reopening(true);
  std::vector<InputStatus> told;
  port.on_status([&](const InputStatus& status) { told.push_back(status); });
  ASSERT_EQ(port.open(&window, choice), choice);
  ASSERT_TRUE(send_until_shown(*source, window, port, {0x90, 0x3C, 0x7F}, Field::NoteOn));

  const pid_t first_server = server->pid();
  const auto killed = Clock::now();
  ASSERT_TRUE(server->kill_with(SIGKILL));
  ASSERT_TRUE(pump(window, port, [&] { return !told.empty() && told.back().lost; }));
  const double loss_ms = ms_since(killed);
  EXPECT_EQ(window.timers, (std::map<int, int>{{kMonitorTimerId, 2000}}));

  // No server yet: the attempt fails and the next one waits longer.
  auto attempt = Clock::now();
  port.on_timer(kMonitorTimerId);
  const double failed_ms = ms_since(attempt);
  EXPECT_EQ(window.timers, (std::map<int, int>{{kMonitorTimerId, 4000}}));
  EXPECT_TRUE(told.back().lost);

  // libjack may crash closing this plain client now that its server is gone: it is kept.
  static std::vector<JackPeer*> orphans;
  orphans.push_back(source.release());
  server.reset();
  // A server of the same name starts only once the killed one has been reaped.
  const std::string proc = "/proc/" + std::to_string(first_server);
  for (int i = 0; i < 1000 && access(proc.c_str(), F_OK) == 0; ++i)
    std::this_thread::sleep_for(10ms);
  server = std::make_unique<test::PrivateJackServer>(dir);
  ASSERT_TRUE(server->started());
  source = std::make_unique<JackPeer>(kSource, JackPeer::Role::Send);
  ASSERT_TRUE(source->ok());
  attempt = Clock::now();
  port.on_timer(kMonitorTimerId);
  const double reopen_ms = ms_since(attempt);
  EXPECT_FALSE(told.back().lost);
  EXPECT_TRUE(window.timers.empty());
  EXPECT_TRUE(send_until_shown(*source, window, port, {0xB9, 0x07, 0x64}, Field::CtrlChg));
  port.close();
  std::printf(
      "[figures] input loss noticed %.1f ms after the server was killed; a failed attempt took "
      "%.1f ms, the reopening %.1f ms\n",
      loss_ms, failed_ms, reopen_ms);
}

INSTANTIATE_TEST_SUITE_P(Signals, JackServerLossTest, ::testing::Values(SIGKILL, SIGTERM));

}  // namespace
}  // namespace brisca
