// `briscatool send` over a fake output that reports each chunk done at once: the timer still
// paces it, so each test takes a few ticks of 70 ms.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "app/cli/midi_commands.h"
#include "app/cli/send_progress.h"
#include "soundfile/sound_writer.h"
#include "soundlist/playlist.h"
#include "tests/download/download_fixture.h"
#include "tests/download/fake_midi_out.h"

namespace brisca::test {
namespace {

class SendCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("brisca-send-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder);
    service.log->auto_complete = true;
    write("b.mid", {sysex(250, 1)});
    write("a.mid", {sysex(120, 2), sysex(30, 3)});
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  void write(const std::string& name, const std::vector<Bytes>& messages) {
    ASSERT_TRUE(write_file((folder / name).string(), make_smf0(messages)));
  }
  int send(cli::Args args, cli::InterruptCount interrupts = {}) {
    cli::SendOptions options;
    if (const int status = cli::parse_send_options(args, options, {out, err}); status >= 0)
      return status;
    return cli::run_send(service, store, options, {out, err}, interrupts);
  }
  Bytes sent() const {
    Bytes all;
    for (const auto& c : service.log->chunks) all.insert(all.end(), c.begin(), c.end());
    return all;
  }

  std::filesystem::path folder;
  FakeMidiService service;
  SettingsStore* store = nullptr;
  std::ostringstream out, err;
};

TEST_F(SendCommand, SendsEveryFileInListOrderAndSaysSo) {
  EXPECT_EQ(send({"--midi-out", "Out B", folder.string()}), cli::kOk);
  EXPECT_EQ(service.log->opened, std::vector<int>{1});
  Bytes expected = sysex(120, 2);
  for (const Bytes& b : {sysex(30, 3), sysex(250, 1)})
    expected.insert(expected.end(), b.begin(), b.end());
  EXPECT_EQ(sent(), expected);
  const std::string text = err.str();
  EXPECT_NE(text.find("a.mid  Total Blocks"), std::string::npos) << text;
  EXPECT_LT(text.find("a.mid: sent"), text.find("b.mid: sent"));
  EXPECT_NE(text.find("Sent 2 of 2 files"), std::string::npos);
}

// A kit saved as a playlist, moved with its folder elsewhere, is sent from there in its order
// (not sorted by name), with the sound it lists from outside its folder.
TEST_F(SendCommand, AKitPlaylistMovedWithItsFolderIsSentInItsOrder) {
  std::filesystem::create_directories(folder / "kit");
  write("kit/z.mid", {sysex(40, 4)});
  write("kit/y.mid", {sysex(60, 5)});
  const std::string outside = (folder / "a.mid").string();
  ASSERT_TRUE(
      write_playlist((folder / "kit/kit.m3u").string(),
                     {(folder / "kit/z.mid").string(), outside, (folder / "kit/y.mid").string()}));
  std::filesystem::rename(folder / "kit", folder / "moved");
  EXPECT_EQ(send({(folder / "moved/kit.m3u").string()}), cli::kOk) << err.str();
  Bytes expected;
  for (const Bytes& b : {sysex(40, 4), sysex(120, 2), sysex(30, 3), sysex(60, 5)})
    expected.insert(expected.end(), b.begin(), b.end());
  EXPECT_EQ(sent(), expected);
  EXPECT_NE(err.str().find("Sent 3 of 3 files"), std::string::npos) << err.str();
}

TEST_F(SendCommand, AnUnknownEntryListsThePorts) {
  EXPECT_EQ(send({"--midi-out", "Out C", folder.string()}), cli::kFailed);
  EXPECT_NE(err.str().find("  1  Out A\n  2  Out B\n"), std::string::npos) << err.str();
  EXPECT_TRUE(service.log->opened.empty());
  EXPECT_EQ(send({"--midi-out", "Out", folder.string()}), cli::kFailed);  // two match
  EXPECT_EQ(send({folder.string()}), cli::kOk);                           // the first port
}

TEST_F(SendCommand, APathWithNoSoundFileFails) {
  write("broken.mid", {});
  std::filesystem::resize_file(folder / "broken.mid", 3);
  EXPECT_EQ(send({folder.string(), (folder / "missing.mid").string()}), cli::kFailed);
  EXPECT_NE(err.str().find("missing.mid: no sound file added"), std::string::npos);
  EXPECT_NE(err.str().find("Bad MIDI file!"), std::string::npos);
  EXPECT_NE(err.str().find("Sent 2 of 2 files"), std::string::npos);
}

TEST_F(SendCommand, CtrlCOnceStopsAfterTheFileBeingSent) {
  auto presses = [this] { return service.log->chunks.empty() ? 0 : 1; };
  EXPECT_EQ(send({folder.string()}, presses), cli::kFailed);
  EXPECT_EQ(sent().size(), 150u);  // a.mid only
  EXPECT_NE(err.str().find("Stopping after a.mid"), std::string::npos);
  EXPECT_NE(err.str().find("Sent 1 of 2 files"), std::string::npos);
}

TEST_F(SendCommand, CtrlCTwiceStopsAtOnceAndNamesTheFileCutShort) {
  auto presses = [this] { return service.log->chunks.empty() ? 0 : 2; };
  EXPECT_EQ(send({folder.string()}, presses), cli::kFailed);
  EXPECT_NE(err.str().find("a.mid: cut short, not sent completely"), std::string::npos)
      << err.str();
  EXPECT_NE(err.str().find("Sent 0 of 2 files"), std::string::npos);
}

// A store of named texts in memory.
class MemoryStore : public SettingsStore {
 public:
  std::optional<std::string> read(const std::string& name) override {
    auto it = values.find(name);
    return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
  }
  bool write(const std::string& name, const std::string& text) override {
    values[name] = text;
    return true;
  }
  std::map<std::string, std::string> values;
};

// The pace remembered for the output is used unless an option replaces a field of it; the first
// line names it; a pace faster than 200-byte chunks every 70 ms is refused before anything opens.
TEST_F(SendCommand, SendsAtTheRememberedPaceOrTheOneGivenAndRefusesFaster) {
  MemoryStore memory;
  memory.values["Pace/Out B"] = "chunk 100 interval 70 gap 0";
  store = &memory;
  const auto sizes = [this] {
    std::vector<std::size_t> result;
    for (const auto& c : service.log->chunks) result.push_back(c.size());
    service.log->chunks.clear();
    return result;
  };
  const auto first_line = [this] {
    const std::string text = err.str();
    err.str("");
    return text.substr(0, text.find('\n'));
  };

  EXPECT_EQ(send({"--midi-out", "Out B", folder.string()}), cli::kOk);
  EXPECT_EQ(first_line(),
            "Sending 2 file(s) to Out B, 100-byte chunks every 70 ms, no pause between files");
  EXPECT_EQ(sizes(), (std::vector<std::size_t>{100, 20, 30, 100, 100, 50}));

  EXPECT_EQ(send({"--midi-out", "Out B", "--chunk", "64", "--file-gap", "70", folder.string()}),
            cli::kOk);
  EXPECT_EQ(first_line(),
            "Sending 2 file(s) to Out B, 64-byte chunks every 70 ms, 70 ms between files");
  EXPECT_EQ(sizes(), (std::vector<std::size_t>{64, 56, 30, 64, 64, 64, 58}));

  EXPECT_EQ(send({"--midi-out", "Out A", folder.string()}), cli::kOk);
  EXPECT_EQ(first_line(),
            "Sending 2 file(s) to Out A, 200-byte chunks every 70 ms, no pause between files");
  EXPECT_EQ(sizes(), (std::vector<std::size_t>{120, 30, 200, 50}));

  const std::size_t opened = service.log->opened.size();
  for (const cli::Args& faster : {cli::Args{"--interval", "69"}, cli::Args{"--chunk", "201"},
                                  cli::Args{"--chunk", "0"}, cli::Args{"--interval", "7x"}}) {
    cli::Args args = faster;
    args.push_back(folder.string());
    EXPECT_EQ(send(args), cli::kUsage) << faster[0];
  }
  const std::string refusals = err.str();
  EXPECT_NE(refusals.find("an interval of 69 ms is shorter than 70 ms: nothing faster than "
                          "200-byte chunks every 70 ms is offered"),
            std::string::npos)
      << refusals;
  EXPECT_NE(refusals.find("a chunk of 201 bytes is larger than 200"), std::string::npos);
  EXPECT_EQ(service.log->opened.size(), opened);
}

// A kit listing a sound twice sends it once, at its first place, and says so; a missing entry is
// named and the rest is sent, failing the send; a kit giving no sound is named and fails it.
TEST_F(SendCommand, AKitSendsEachFileOnceAndNamesWhatItSkips) {
  ASSERT_TRUE(write_playlist(
      (folder / "kit.m3u").string(),
      {(folder / "b.mid").string(), (folder / "a.mid").string(), (folder / "b.mid").string()}));
  EXPECT_EQ(send({(folder / "kit.m3u").string()}), cli::kOk) << err.str();
  Bytes expected = sysex(250, 1);
  for (const Bytes& b : {sysex(120, 2), sysex(30, 3)})
    expected.insert(expected.end(), b.begin(), b.end());
  EXPECT_EQ(sent(), expected);
  std::string text = err.str();
  EXPECT_NE(text.find("b.mid is listed twice; sent once\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Sent 2 of 2 files; 1 file listed again sent once"), std::string::npos);

  ASSERT_TRUE(write_playlist((folder / "kit.m3u").string(),
                             {(folder / "gone.mid").string(), (folder / "a.mid").string()}));
  service.log->chunks.clear();
  err.str("");
  EXPECT_EQ(send({(folder / "kit.m3u").string()}), cli::kFailed);
  EXPECT_EQ(sent(), (Bytes{expected.begin() + 250, expected.end()}));
  text = err.str();
  EXPECT_NE(text.find((folder / "gone.mid").string() + ": no such file\n"), std::string::npos)
      << text;
  EXPECT_EQ(text.find("no sound file added"), std::string::npos) << text;

  ASSERT_TRUE(write_playlist((folder / "kit.m3u").string(), {}));
  err.str("");
  EXPECT_EQ(send({(folder / "kit.m3u").string()}), cli::kFailed);
  EXPECT_NE(err.str().find("kit.m3u holds no sounds\n"), std::string::npos) << err.str();
}

// Every file is checked before the first byte: a damaged one is named and nothing is sent, or
// with --skip-damaged it is left out and the whole ones go. A second BriscaTool sending to the
// output refuses the send, naming the process; other senders refuse it unless --shared.
TEST_F(SendCommand, DamagedFilesAndBusyOutputsFailTheSend) {
  std::vector<Bytes> kick{make_header_block("Kick", "DRUM", 27)};
  for (int n = 1; n < 4; ++n) kick.push_back(make_block(static_cast<std::uint16_t>(n), {}));
  write("kick.mid", kick);
  write("c.mid", {sysex(20, 6)});  // sorted after the damaged file
  EXPECT_EQ(send({folder.string()}), cli::kFailed);
  std::string text = err.str();
  EXPECT_NE(text.find("kick.mid: ends after 4 of 27 blocks; damaged\n"), std::string::npos) << text;
  EXPECT_NE(text.find("nothing sent (--skip-damaged"), std::string::npos) << text;
  EXPECT_TRUE(service.log->chunks.empty());

  err.str("");
  EXPECT_EQ(send({"--skip-damaged", folder.string()}), cli::kOk) << err.str();
  text = err.str();
  EXPECT_NE(text.find("kick.mid: ends after 4 of 27 blocks; damaged, skipped"), std::string::npos)
      << text;
  EXPECT_NE(text.find("c.mid: sent"), std::string::npos);
  EXPECT_NE(text.find("Sent 3 of 3 files"), std::string::npos);
  EXPECT_EQ(sent().size(), 420u);
  std::filesystem::remove(folder / "kick.mid");
  std::filesystem::remove(folder / "c.mid");

  service.log->destination = "JACK: cli" + std::to_string(::getpid()) + ":in";
  DestinationLock other;
  ASSERT_TRUE(other.acquire(service.log->destination));
  service.log->chunks.clear();
  err.str("");
  EXPECT_EQ(send({folder.string()}), cli::kFailed);
  EXPECT_NE(err.str().find("Another BriscaTool (process " + std::to_string(::getpid()) + ")"),
            std::string::npos)
      << err.str();
  EXPECT_TRUE(service.log->chunks.empty());
  other.release();

  service.log->others = {"keys:out"};
  err.str("");
  EXPECT_EQ(send({folder.string()}), cli::kFailed);
  EXPECT_NE(err.str().find("keys:out"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("--shared"), std::string::npos);
  EXPECT_TRUE(service.log->chunks.empty());
  EXPECT_EQ(send({"--shared", folder.string()}), cli::kOk);
}

TEST_F(SendCommand, AnOutputThatFailsEndsTheSendWithTheFileNotSent) {
  service.log->long_result = device_error::lost();
  EXPECT_EQ(send({folder.string()}), cli::kFailed);
  EXPECT_NE(err.str().find("a.mid: cut short, not sent completely (the MIDI output stopped"),
            std::string::npos)
      << err.str();
}

}  // namespace
}  // namespace brisca::test

namespace brisca::test {
namespace {

TEST(SendProgressLine, ShareAndTimeLeftCountFinishedMessagesOnly) {
  // Each block left is six chunks of one 70 ms tick each.
  EXPECT_EQ(cli::SendProgress::line("a.mid", 26, 27, 27 * 420),
            "a.mid  Total Blocks   26    0%  0:12 left");
  EXPECT_EQ(cli::SendProgress::line("a.mid", 13, 27, 14 * 420),
            "a.mid  Total Blocks   13   48%  0:06 left");
  EXPECT_EQ(cli::SendProgress::line("a.mid", 0, 300, 0),
            "a.mid  Total Blocks    0   99%  0:00 left");
}

}  // namespace
}  // namespace brisca::test
