// `briscatool monitor` over a fake input whose device thread the test plays.
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "app/cli/midi_commands.h"
#include "tests/monitor/fake_midi_in.h"

namespace brisca::test {
namespace {

class MonitorCommand : public ::testing::Test {
 protected:
  int monitor(cli::Args args, cli::InterruptCount interrupts = {}) {
    cli::MonitorOptions options;
    if (const int status = cli::parse_monitor_options(args, options, {out, err}); status >= 0)
      return status;
    return cli::run_monitor(service, nullptr, options, {out, err}, interrupts);
  }
  FakeInService service;
  std::ostringstream out, err;
};

TEST_F(MonitorCommand, PrintsEachFieldUpdateUntilTheCount) {
  std::atomic<bool> open{false};
  std::thread device([&] {
    while (!open) std::this_thread::yield();
    service.short_message(0x003C90);
    service.short_message(0x07C5);
    service.long_message({0xF0, 0x33, 0x00, 0x05, 0x01, 0x02, 0x03, 0x04, 0xF7});
    service.short_message(0xFE);
    service.short_message(0x3C);  // not a status byte
    service.short_message(0x7F3C91);
  });
  // Opening has queued the eight buffers once the count of interrupts is first asked for.
  auto interrupts = [&] {
    open = true;
    return 0;
  };
  EXPECT_EQ(monitor({"--midi-in", "In B", "--count", "4"}, interrupts), cli::kOk);
  device.join();
  EXPECT_EQ(service.log->opened, std::vector<int>{1});
  EXPECT_EQ(out.str(),
            "Note Off: 90 3c 00 \n"
            "Prog Chg: c5 07 \n"
            "System Exclusive: f0 33 00 05 01 02 03 ... f7   [9]\n"
            "Real Time: fe \n");
  EXPECT_NE(err.str().find("Listening on In B"), std::string::npos);
  EXPECT_EQ(service.log->calls.back(), "close");
}

TEST_F(MonitorCommand, EndsAfterTheSecondsOrOnCtrlC) {
  EXPECT_EQ(monitor({"--seconds", "0.05"}), cli::kOk);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(monitor({}, [] { return 1; }), cli::kOk);
  EXPECT_EQ(service.log->opened, (std::vector<int>{0, 0}));
}

// An input that goes away ends the command with a line and status 1; what the device dropped
// under load is counted in a last line.
TEST_F(MonitorCommand, ALostInputEndsItWithStatusOneAndDropsAreCounted) {
  std::atomic<bool> open{false};
  std::thread device([&] {
    while (!open) std::this_thread::yield();
    service.log->dropped = 41;
    service.short_message(0xFE);
    service.log->listener->closed();
  });
  auto interrupts = [&] {
    open = true;
    return 0;
  };
  EXPECT_EQ(monitor({"--midi-in", "In A", "--seconds", "20"}, interrupts), cli::kFailed);
  device.join();
  EXPECT_EQ(out.str(), "Real Time: fe \n");
  EXPECT_NE(err.str().find("briscatool monitor: the MIDI input \"In A\" was lost\n"),
            std::string::npos)
      << err.str();
  EXPECT_NE(err.str().find("41 incoming messages were dropped under load"), std::string::npos);
  EXPECT_EQ(service.log->calls.back(), "close");
}

TEST_F(MonitorCommand, BadArgumentsAndUnknownPorts) {
  EXPECT_EQ(monitor({"--count", "0"}), cli::kUsage);
  EXPECT_EQ(monitor({"--seconds", "soon"}), cli::kUsage);
  EXPECT_EQ(monitor({"extra"}), cli::kUsage);
  EXPECT_EQ(monitor({"--midi-in", "9"}), cli::kFailed);
  EXPECT_NE(err.str().find("  1  In A\n  2  In B\n"), std::string::npos) << err.str();
  service.fail_open = true;
  EXPECT_EQ(monitor({"--seconds", "1"}), cli::kFailed);
  EXPECT_TRUE(service.log->calls.empty());
}

}  // namespace
}  // namespace brisca::test
