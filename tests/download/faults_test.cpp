// The down-load ends cleanly when its output goes away under it: no hang, the row being sent
// selected again (never marked sent), and sending works again afterwards.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "tests/download/download_fixture.h"

namespace brisca::test {
namespace {

class Faults : public DownloadTest {
 protected:
  // Starts a of three chunks, b after it, and stops after a's second chunk went out.
  void start_mid_file() {
    add_file("a.mid", {sysex(500)}, 3);
    add_file("b.mid", {sysex(100)}, 2);
    select("a.mid");
    select("b.mid");
    download.send_files();
    tick();
    tick();
    ASSERT_EQ(service.log->chunks.size(), 2u);
  }
  void expect_cut_short_and_selected(CutReason reason) {
    EXPECT_FALSE(download.is_sending());
    EXPECT_FALSE(timer_running());
    EXPECT_EQ(word("a.mid") & (test::kSelected | test::kSending | test::kSent), test::kSelected);
    EXPECT_EQ(heard.total, "   5");
    ASSERT_EQ(heard.cuts.size(), 1u);
    EXPECT_EQ(heard.cuts[0].reason, reason);
    EXPECT_EQ(heard.cuts[0].name, "a.mid");
    EXPECT_EQ(heard.cuts[0].row, list.row(row_of("a.mid")).id);
    handle_posted();
    EXPECT_FALSE(download.is_sending());
  }
  // Sending again sends both files whole; after a lost device, a lone F7 first ends the message
  // the module was left inside.
  void expect_sends_again(bool ends_cut_message = false) {
    service.log->chunks.clear();
    download.send_files();
    run_to_idle();
    EXPECT_TRUE(word("a.mid") & test::kSent);
    EXPECT_TRUE(word("b.mid") & test::kSent);
    Bytes expected = ends_cut_message ? Bytes{0xF7} : Bytes{};
    Bytes a = sysex(500);
    expected.insert(expected.end(), a.begin(), a.end());
    Bytes b = sysex(100);
    expected.insert(expected.end(), b.begin(), b.end());
    EXPECT_EQ(sent_bytes(), expected);
  }
  void one_tick_without_report() { clock.advance(std::chrono::milliseconds(70)); }
};

TEST_F(Faults, ReopeningTheOutputMidFileCutsItShort) {
  start_mid_file();
  EXPECT_EQ(download.open(2), 2);  // MIDI setup confirmed: close, then open
  expect_cut_short_and_selected(CutReason::PortClosed);
  expect_sends_again();
}

TEST_F(Faults, AFailedSendMeansTheDeviceIsLostAndTheNextSendReopensIt) {
  start_mid_file();
  service.log->long_result = device_error::lost();
  tick();
  EXPECT_FALSE(download.port().is_open());
  expect_cut_short_and_selected(CutReason::DeviceLost);
  service.log->long_result = Status{};
  expect_sends_again(true);
  EXPECT_EQ(service.log->opened, (std::vector<int>{0, 0}));
}

TEST_F(Faults, ADeviceThatClosesItselfIsLost) {
  start_mid_file();
  service.log->in_flight.clear();
  service.log->listener->closed();
  one_tick_without_report();
  expect_cut_short_and_selected(CutReason::DeviceLost);
}

// An output whose port is gone (a device unplugged) cuts the file after the blocks that went out
// whole, and the device that comes next is sent no F7 for a message it never saw begin.
TEST_F(Faults, AnOutputUnpluggedMidFileCountsItsWholeBlocksAndOwesNoEnd) {
  add_file("u.mid", {sysex(100), sysex(100, 1), sysex(300, 2)}, 3);
  select("u.mid");
  download.send_files();
  tick();
  tick();
  tick();
  ASSERT_EQ(service.log->chunks.size(), 3u);  // the third message's first chunk is in flight
  service.log->gone = true;
  service.log->in_flight.clear();
  service.log->listener->closed();
  one_tick_without_report();
  EXPECT_FALSE(download.is_sending());
  EXPECT_EQ(word("u.mid") & (test::kSelected | test::kSent), test::kSelected);
  ASSERT_EQ(heard.cuts.size(), 1u);
  EXPECT_EQ(heard.cuts[0].reason, CutReason::Unplugged);
  EXPECT_EQ(heard.cuts[0].blocks_done, 2);
  EXPECT_EQ(heard.cuts[0].blocks_total, 3);
  service.log->gone = false;
  service.log->chunks.clear();
  download.send_files();
  run_to_idle();
  EXPECT_TRUE(word("u.mid") & test::kSent);
  ASSERT_FALSE(service.log->chunks.empty());
  EXPECT_EQ(service.log->chunks.front().front(), 0xF0);  // no lone F7 before the file
}

TEST_F(Faults, ADoneReportThatNeverComesEndsTheWaitAfterABoundedNumberOfTicks) {
  start_mid_file();
  service.log->in_flight.clear();  // the report is lost
  for (int i = 0; i < DownloadSequencer::kDoneWaitTicks; ++i) one_tick_without_report();
  EXPECT_TRUE(download.is_sending());
  one_tick_without_report();
  expect_cut_short_and_selected(CutReason::DeviceLost);
}

TEST_F(Faults, ALostDeviceThatStaysGoneKeepsBeingRetriedOnSend) {
  start_mid_file();
  service.log->long_result = device_error::lost();
  tick();
  service.fail_open = true;
  download.send_files();
  EXPECT_FALSE(download.is_sending());
  service.fail_open = false;
  service.log->long_result = Status{};
  expect_sends_again(true);
}

TEST_F(Faults, ClosingTheWindowMidFileClosesTheDeviceBeforeFreeingItsChunk) {
  start_mid_file();
  download.close();  // the fake device reads the chunk in flight as it closes
  EXPECT_EQ(service.log->closes, 1);
  EXPECT_EQ(service.log->chunks.back(), Bytes{0xF7});  // the message cut in two is ended
  expect_cut_short_and_selected(CutReason::PortClosed);
  download.send_files();  // the output is closed: nothing happens
  EXPECT_FALSE(download.is_sending());
}

// MIDI setup confirmed between two files: the next file goes to the reopened output; an
// output that did not open ends the down-load, and a closed window starts nothing.
TEST_F(Faults, ANextFileMessagePostedBeforeTheOutputClosedStartsNothing) {
  add_file("a.mid", {}, 0);
  add_file("b.mid", {sysex(10)}, 1);
  add_file("c.mid", {sysex(20)}, 1);
  select("a.mid");
  select("b.mid");
  select("c.mid");
  const std::vector<SendSummary>& ends = heard.ends;
  download.send_files();  // a is sent at once; b's start is on the clock
  EXPECT_EQ(download.open(2), 2);
  handle_posted();
  EXPECT_TRUE(download.is_sending());
  run_to_idle();
  EXPECT_TRUE(word("b.mid") & test::kSent);
  EXPECT_TRUE(word("c.mid") & test::kSent);
  ASSERT_EQ(ends.size(), 1u);
  EXPECT_EQ(ends[0].sounds, 3);
  EXPECT_EQ(ends[0].blocks, 2);
  EXPECT_EQ(service.log->opened, (std::vector<int>{0, 1}));

  select("a.mid");
  select("b.mid");
  download.send_files();
  service.fail_open = true;
  EXPECT_EQ(download.open(1), 0);
  EXPECT_FALSE(download.sequencer().is_busy());
  handle_posted();
  EXPECT_FALSE(download.is_sending());
  EXPECT_TRUE(word("b.mid") & test::kSelected);
  EXPECT_EQ(ends.size(), 2u);

  service.fail_open = false;
  EXPECT_EQ(download.open(1), 1);
  download.send_files();  // a is sent at once again
  download.close();
  handle_posted();
  EXPECT_FALSE(download.is_sending());
  EXPECT_TRUE(word("b.mid") & test::kSelected);
}

// A file cut short on disk, or holding fewer blocks than its header counts, is sent as far as
// it goes and then counts as not sent: selected again, the down-load ended there, the figure
// the selected rows' sum, and the listener told what was wrong.
TEST_F(Faults, ADamagedFileIsNeverMarkedSent) {
  const std::vector<CutShort>& cuts = heard.cuts;
  std::vector<Bytes> kick{make_header_block("Kick", "DRUM", 27)};
  for (int n = 1; n < 13; ++n) kick.push_back(make_block(static_cast<std::uint16_t>(n), {}));
  add_file("kick.mid", kick, 27);
  const Bytes whole =
      make_smf0({make_header_block("Tom", "DRUM", 3), make_block(1, {}), make_block(2, {})});
  ASSERT_TRUE(write_file((folder / "tom.mid").string(), Bytes(whole.begin(), whole.end() - 150)));
  add_row("tom.mid", 3);
  add_file("zz.mid", {sysex(10)}, 4);
  select("kick.mid");
  select("zz.mid");
  download.send_files();
  run_to_idle();
  EXPECT_EQ(service.log->chunks.size(), 13u * 6);  // what the file held went out
  EXPECT_EQ(word("kick.mid") & (test::kSelected | test::kSending | test::kSent), test::kSelected);
  EXPECT_EQ(word("zz.mid") & (test::kSelected | test::kSent), test::kSelected);
  EXPECT_EQ(heard.total, "  31");
  EXPECT_FALSE(download.sequencer().is_busy());
  EXPECT_FALSE(timer_running());
  ASSERT_EQ(cuts.size(), 1u);
  EXPECT_EQ(cuts[0].reason, CutReason::Damaged);
  EXPECT_EQ(cuts[0].name, "kick.mid");
  EXPECT_EQ(cuts[0].problem, "ends after 13 of 27 blocks");

  select("kick.mid");
  select("tom.mid");
  download.send_files();
  run_to_idle();
  EXPECT_EQ(word("tom.mid") & (test::kSelected | test::kSending | test::kSent), test::kSelected);
  ASSERT_EQ(cuts.size(), 2u);
  EXPECT_EQ(cuts[1].problem, "ends after 2 of 3 blocks");
  EXPECT_EQ(heard.total, "   7");
}

TEST_F(Faults, AbortNowCutsTheFileShortAndKeepsTheOutputForTheNextSend) {
  start_mid_file();
  download.abort_now();
  EXPECT_EQ(service.log->chunks.back(), Bytes{0xF7});
  expect_cut_short_and_selected(CutReason::Aborted);
  expect_sends_again();
}

// A second sender on the destination: another process holding its lock refuses the down-load
// and is named; other clients sending to it are named and the answer decides; the lock is held
// for exactly as long as the down-load runs.
TEST_F(Faults, TwoSendersNeverShareADestinationUnasked) {
  service.log->destination = "JACK: sink" + std::to_string(::getpid()) + ":in";
  const std::string destination = service.log->destination;
  download.guard_destination(false);
  add_file("a.mid", {sysex(500)}, 3);
  select("a.mid");

  auto other = std::make_unique<DestinationLock>();
  ASSERT_TRUE(other->acquire(destination));
  send();
  EXPECT_TRUE(service.log->chunks.empty());
  ASSERT_EQ(heard.boxes.size(), 1u);
  EXPECT_EQ(heard.boxes[0],
            warning("Another BriscaTool (process " + std::to_string(::getpid()) +
                        ") is sending to \"" + destination + "\". Send again when it has finished.",
                    "Send File(s)"));
  EXPECT_EQ(download.gate()->refusal(), SendGate::Refusal::Locked);
  other.reset();

  service.log->others = {"keys:out", "seq:midi"};
  answer = false;
  send();
  EXPECT_TRUE(service.log->chunks.empty());
  ASSERT_EQ(heard.boxes.size(), 2u);
  EXPECT_EQ(heard.boxes[1].kind, Notice::Kind::Question);
  EXPECT_NE(heard.boxes[1].text.find("keys:out, seq:midi"), std::string::npos);
  EXPECT_EQ(download.gate()->refusal(), SendGate::Refusal::Shared);
  EXPECT_TRUE(DestinationLock().acquire(destination));  // a refusal keeps no lock

  answer = true;
  send();
  EXPECT_TRUE(download.is_sending());
  DestinationLock third;
  EXPECT_FALSE(third.acquire(destination));
  EXPECT_EQ(third.holder(), ::getpid());
  run_to_idle();
  EXPECT_TRUE(word("a.mid") & test::kSent);
  EXPECT_TRUE(third.acquire(destination));
  third.release();

  // Told it may share, it does not ask.
  download.guard_destination(true);
  select("a.mid");
  send();
  EXPECT_EQ(heard.boxes.size(), 3u);
  EXPECT_TRUE(download.is_sending());
}

// Sets an environment variable (or unsets it, for null) for as long as it lives.
class EnvSetting {
 public:
  EnvSetting(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    if (old != nullptr) old_ = old;
    had_ = old != nullptr;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~EnvSetting() { had_ ? ::setenv(name_, old_.c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

std::string contents(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Without $XDG_RUNTIME_DIR the locks live in briscatool-UID of the temporary folder, made for
// this user alone. Whatever is planted there instead is never opened through nor changed: a link
// at a lock file's name (its target keeps every byte), a link in place of the folder, a folder
// others may write to. The down-load then goes on without the lock.
TEST_F(Faults, PlantedLinksNeverReachAnotherFile) {
  namespace fs = std::filesystem;
  service.log->destination = "JACK: planted" + std::to_string(::getpid()) + ":in";
  const std::string destination = service.log->destination;
  const fs::path tmp = folder / "tmp";
  fs::create_directories(tmp);
  const EnvSetting runtime("XDG_RUNTIME_DIR", nullptr);
  const EnvSetting tmpdir("TMPDIR", tmp.c_str());
  const fs::path own = tmp / ("briscatool-" + std::to_string(::geteuid()));
  const fs::path lock = DestinationLock::path_for(destination);
  ASSERT_EQ(lock.parent_path(), own);
  {
    DestinationLock held;
    ASSERT_TRUE(held.acquire(destination));
    struct stat st {};
    ASSERT_EQ(::lstat(own.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_FALSE(DestinationLock().acquire(destination));
  }

  const fs::path victim = folder / "victim.txt";
  std::ofstream(victim) << "precious bytes\n";
  fs::remove(lock);
  fs::create_symlink(victim, lock);
  DestinationLock through_link;
  EXPECT_TRUE(through_link.acquire(destination));
  EXPECT_TRUE(DestinationLock().acquire(destination));  // nothing was locked
  EXPECT_EQ(contents(victim), "precious bytes\n");
  EXPECT_TRUE(fs::is_symlink(lock));

  add_file("a.mid", {sysex(500)}, 3);
  select("a.mid");
  download.send_files();
  run_to_idle();
  EXPECT_TRUE(word("a.mid") & test::kSent);
  EXPECT_TRUE(heard.boxes.empty());

  // The folder itself planted: as a link to a folder of this user's, and open to everyone.
  const fs::path elsewhere = folder / "elsewhere";
  fs::create_directories(elsewhere);
  fs::permissions(elsewhere, fs::perms::owner_all);
  fs::remove_all(own);
  fs::create_directory_symlink(elsewhere, own);
  EXPECT_TRUE(DestinationLock().acquire(destination));
  EXPECT_TRUE(fs::is_empty(elsewhere));
  fs::remove(own);
  fs::create_directory(own);
  fs::permissions(own, fs::perms::all);
  EXPECT_TRUE(DestinationLock().acquire(destination));
  EXPECT_TRUE(fs::is_empty(own));
}

}  // namespace
}  // namespace brisca::test
