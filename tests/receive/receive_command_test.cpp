// `briscatool receive` over a fake input whose device thread the test plays: a folder it cannot
// write is refused before the input is opened, and an input that is lost mid-dump is told,
// writes what arrived as partial and ends with status 1, or is waited for with --wait.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <thread>

#include "app/cli/midi_commands.h"
#include "tests/monitor/fake_midi_in.h"
#include "tests/receive/dump_maker.h"
#include "tests/support/sound_files.h"

namespace brisca::test {
namespace {

class ReceiveCommand : public ::testing::Test {
 protected:
  int receive(const cli::ReceiveOptions& options, const cli::InterruptCount& interrupts) {
    return cli::run_receive(service, nullptr, options, {out, err}, interrupts);
  }
  cli::ReceiveOptions options_into(const std::string& folder) {
    cli::ReceiveOptions options;
    options.folder = folder;
    options.midi_in = "In A";
    options.seconds = 25.0;  // a hang fails, never a slow machine
    return options;
  }
  FakeInService service;
  std::ostringstream out, err;
  TempDir dir;
};

TEST_F(ReceiveCommand, AFolderItCannotWriteIsRefusedAtOnce) {
  // Permissions do not hold back root: then a folder of the kernel's, where no file can be made.
  std::string folder = dir.make_folder("read-only");
  ::chmod(folder.c_str(), 0555);
  if (::geteuid() == 0) folder = "/proc";
  EXPECT_EQ(receive(options_into(folder), {}), cli::kFailed);
  EXPECT_NE(err.str().find("briscatool receive: \"" + folder + "\" cannot be written: "),
            std::string::npos)
      << err.str();
  EXPECT_TRUE(service.log->opened.empty());
  EXPECT_EQ(receive(options_into(dir / "missing"), {}), cli::kFailed);
  EXPECT_NE(err.str().find("\" is not a folder"), std::string::npos) << err.str();
  ::chmod(dir.make_folder("read-only").c_str(), 0755);
}

TEST_F(ReceiveCommand, ALostInputIsToldAndEndsItOrIsWaitedFor) {
  const auto tom = dump_messages("Tom", 6);
  const auto hat = dump_messages("Hat", 3);
  for (const bool wait : {false, true}) {
    SCOPED_TRACE(wait ? "--wait" : "no --wait");
    out.str({});
    err.str({});
    const std::string folder = dir.make_folder(wait ? "waited" : "ended");
    // The device thread: half a dump, then the device goes away; with --wait, once the port is
    // open again, a whole dump.
    std::atomic<int> opened{0};
    std::thread device([&] {
      while (opened.load() < 1) std::this_thread::yield();
      ASSERT_TRUE(service.long_message(joined({tom[0], tom[1], tom[2]})));
      service.log->listener->closed();
      if (!wait) return;
      while (opened.load() < 2) std::this_thread::yield();
      ASSERT_TRUE(service.long_message(joined(hat)));
    });
    // Asked on the window's thread: how often the input has been opened so far.
    const std::size_t opened_before = service.log->opened.size();
    auto interrupts = [&] {
      opened.store(static_cast<int>(service.log->opened.size() - opened_before));
      return 0;
    };
    cli::ReceiveOptions options = options_into(folder);
    if (wait) options.wait = 0.0;  // --wait without a limit
    options.count = wait ? 2 : 0;
    EXPECT_EQ(receive(options, interrupts), cli::kFailed);
    device.join();

    EXPECT_NE(err.str().find("briscatool receive: the MIDI input \"In A\" was lost" +
                             std::string(wait ? "; waiting for it to come back\n" : "\n")),
              std::string::npos)
        << err.str();
    EXPECT_NE(out.str().find("Tom (partial).mid: incomplete, the input was lost; missing blocks "
                             "3-5\n"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(file_messages(folder + "/Tom (partial).mid"),
              (std::vector<Bytes>{tom[0], tom[1], tom[2]}));
    EXPECT_EQ(err.str().find("is back") != std::string::npos, wait) << err.str();
    EXPECT_EQ(std::filesystem::exists(folder + "/Hat.mid"), wait);
    if (wait) {
      EXPECT_EQ(file_messages(folder + "/Hat.mid"), hat);
    }
    EXPECT_EQ(service.log->calls.back(), "close");
  }
}

}  // namespace
}  // namespace brisca::test
