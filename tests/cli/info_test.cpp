#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/cli/json.h"
#include "app/cli/midi_commands.h"
#include "soundfile/sound_writer.h"
#include "tests/support/run_cli.h"

namespace brisca::cli {
namespace {

namespace fs = std::filesystem;

class InfoCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("brisca-info-" + std::to_string(::getpid()));
    fs::create_directories(dir / "sub");
    UnpackedBlock data{};
    write_file(dir / "Snare.mid",
               make_smf0({make_header_block("Tight \"Snare\"", "DRUM", 300), make_block(1, data)}));
    write_file(dir / "foreign.mid", make_smf0({{0xF0, 0x41, 0xF7}, {0xF0, 0x42, 0xF7}}));
    write_file(dir / "sub" / "hidden.mid", make_smf0({}));
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(InfoCommand, LinesForAFolderInListOrder) {
  CliRun r = run_cli({"info", dir.string()});
  EXPECT_EQ(r.status, kOk) << r.err;
  EXPECT_EQ(r.out,
            "foreign.mid   [2]   0.00 s\n"
            "Snare.mid   [300]   name \"Tight \"Snare\"\", type \"DRUM\"   0.02 s   incomplete: "
            "ends after 2 of 300 blocks\n");
}

// A playlist stands for its sounds in its order; what it cannot give fails the command.
TEST_F(InfoCommand, APlaylistGivesItsSoundsInItsOrder) {
  std::ofstream(dir / "sub" / "kit.m3u") << "#EXTM3U\n../Snare.mid\nhidden.mid\nhttp://x/y.mid\n";
  CliRun r = run_cli({"info", (dir / "sub" / "kit.m3u").string()});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1).substr(0, 16), "Snare.mid   [300");
  EXPECT_NE(r.out.find("\nhidden.mid   [0]"), std::string::npos) << r.out;
  EXPECT_EQ(r.err,
            (dir / "sub" / "kit.m3u").string() + ", line 4: http://x/y.mid is not a local file\n");
}

// One rule for a kit's entries, in info and play alike: a folder entry gives its files, a file
// listed again is taken once, a missing entry is named and skipped (the rest goes on, the command
// fails), and a playlist giving no sound is named and fails the command.
TEST_F(InfoCommand, AKitTakesEachFileOnceAndNamesWhatItSkips) {
  std::ofstream(dir / "kit.m3u") << "Snare.mid\nsub\nsnare.mid\n./Snare.mid\n";
  CliRun r = run_cli({"info", (dir / "kit.m3u").string()});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.out.substr(0, 9), "Snare.mid");
  EXPECT_NE(r.out.find("\nhidden.mid   [0]"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Snare.mid", 1), std::string::npos) << r.out;
  EXPECT_EQ(r.err, (dir / "snare.mid").string() +
                       ": no such file\nSnare.mid is listed twice; listed once\n");

  std::ofstream(dir / "empty.m3u") << "#EXTM3U\n# nothing yet\n";
  for (const char* command : {"info", "play"}) {
    r = run_cli({command, (dir / "empty.m3u").string()});
    EXPECT_EQ(r.status, kFailed) << command;
    EXPECT_EQ(r.err, "empty.m3u holds no sounds\n") << command;
  }
}

TEST_F(InfoCommand, JsonHasExactlyTheSevenKeys) {
  CliRun r =
      run_cli({"info", "--json", (dir / "Snare.mid").string(), (dir / "foreign.mid").string()});
  EXPECT_EQ(r.status, kOk);
  std::string snare = (dir / "Snare.mid").string();
  EXPECT_NE(r.out.find("{\"path\": \"" + snare +
                       "\", \"file\": \"Snare.mid\", \"blocks\": 300, \"name\": \"Tight "
                       "\\\"Snare\\\"\", \"type\": \"DRUM\", \"seconds\": 0.019954648526077097, "
                       "\"complete\": false}"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"blocks\": 2, \"name\": null, \"type\": null, \"seconds\": 0, "
                       "\"complete\": true}"),
            std::string::npos);
}

// A header name may hold any bytes. Those that are not UTF-8 (overlong forms, surrogates, lead
// bytes beyond U+10FFFF, a cut-off sequence, bytes that never lead) come out as U+FFFD, so a
// strict parser reads the output and sees the rest of the name unchanged.
TEST_F(InfoCommand, JsonParsesStrictlyWhateverBytesANameHolds) {
  const std::vector<std::string> runs{"\xC0\x80", "\xED\xA0\x80",     "\xF5\x80\x80\x80",
                                      "\xF6\x80", "\xF7\xBF\xBF\xBF", "\xE2\x82",
                                      "\xFF",     "\xF4\x90\x80\x80", "caf\xC3\xA9"};
  std::vector<std::string> args{"info", "--json"};
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const fs::path file = dir / ("odd" + std::to_string(i) + ".mid");
    write_file(file, make_smf0({make_header_block("A" + runs[i] + "B", "DRUM", 1)}));
    args.push_back(file.string());
  }
  const CliRun r = run_cli(args);
  ASSERT_EQ(r.status, kOk) << r.err;
  nlohmann::json parsed;
  ASSERT_NO_THROW(parsed = nlohmann::json::parse(r.out)) << r.out;
  ASSERT_EQ(parsed.size(), runs.size());
  const std::string mark = "\xEF\xBF\xBD";
  for (std::size_t i = 0; i + 1 < runs.size(); ++i) {
    std::string name = parsed[i]["name"].get<std::string>();
    ASSERT_EQ(name.find(mark), 1u) << i;
    while (name.find(mark) != std::string::npos) name.erase(name.find(mark), mark.size());
    EXPECT_EQ(name, "AB") << i;
  }
  EXPECT_EQ(parsed.back()["name"],
            "Acaf\xC3\xA9"
            "B");  // valid UTF-8 passes unchanged
  EXPECT_EQ(json_string("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
}

// Data blocks without their header (a received "Unnamed (partial).mid") are no whole sound, and
// what an interrupted write left in the folder is no sound at all.
TEST_F(InfoCommand, HeaderlessFilesAreIncompleteAndTemporaryFilesAreNotListed) {
  UnpackedBlock data{};
  write_file(dir / "Unnamed (partial).mid", make_smf0({make_block(1, data), make_block(2, data)}));
  write_file(dir / "Snare.mid.tmpA1b2C3", make_smf0({make_header_block("Snare", "DRUM", 1)}));
  CliRun r = run_cli({"info", dir.string()});
  EXPECT_EQ(r.status, kOk) << r.err;
  EXPECT_EQ(r.out.find(".tmp"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Unnamed (partial).mid   [0]   0.04 s   incomplete: has no header block\n"),
            std::string::npos)
      << r.out;
}

TEST_F(InfoCommand, BadFilesFailWithTheReadersText) {
  write_file(dir / "text.txt", Bytes{'h', 'e', 'l', 'l', 'o'});
  Bytes format1 = make_smf0({});
  format1[9] = 1;
  write_file(dir / "multi.mid", format1);
  ASSERT_EQ(::mkfifo((dir / "pipe.mid").c_str(), 0600), 0);
  ::alarm(10);  // a pipe that blocked would hang here
  CliRun r = run_cli({"info", "--json", dir.string(), (dir / "missing.mid").string()});
  ::alarm(0);
  EXPECT_EQ(r.status, kFailed);
  EXPECT_NE(r.err.find("text.txt: Bad MIDI file!\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("multi.mid: Not format 0!\n"), std::string::npos);
  EXPECT_NE(r.err.find("missing.mid"), std::string::npos);
  EXPECT_NE(r.err.find("pipe.mid: cannot be opened (a named pipe, not a file)"), std::string::npos);
  // The good files are still listed.
  EXPECT_NE(r.out.find("Snare.mid"), std::string::npos);
  EXPECT_EQ(r.out.find("text.txt"), std::string::npos);
}

TEST(Cli, UsageErrorsAndHelp) {
  EXPECT_EQ(run_cli({"info"}).status, kUsage);
  EXPECT_EQ(run_cli({"info", "--bogus", "x"}).status, kUsage);
  EXPECT_EQ(run_cli({"frobnicate"}).status, kUsage);
  CliRun help = run_cli({"--help"});
  EXPECT_EQ(help.status, kOk);
  EXPECT_NE(help.out.find("  info      block counts"), std::string::npos);
  EXPECT_EQ(run_cli({"--version"}).out, "briscatool 1.10\n");
}

// Every subcommand answers --help on standard output and reports a usage error in one form:
// "briscatool NAME: what" and its usage line on standard error, status 2.
TEST(Cli, EverySubcommandSharesTheHelpAndErrorForm) {
  for (const std::string name :
       {"info", "render", "devices", "play", "send", "monitor", "import", "receive", "web"}) {
    SCOPED_TRACE(name);
    const CliRun help = run_cli({name, "--help"});
    EXPECT_EQ(help.status, kOk);
    EXPECT_NE(help.out.find("Usage: briscatool " + name), std::string::npos) << help.out;
    const CliRun bad = run_cli({name, "--no-such-option"});
    EXPECT_EQ(bad.status, kUsage);
    EXPECT_EQ(bad.err.rfind("briscatool " + name + ": ", 0), 0u) << bad.err;
    EXPECT_NE(bad.err.find("Usage: briscatool " + name), std::string::npos) << bad.err;
  }
}

// Every numeric option reads decimal: a leading zero is no octal, 0x no hexadecimal, and
// "nan" or "inf" no number.
TEST(Cli, NumericOptionsAreDecimal) {
  std::ostringstream out, err;
  const Streams io{out, err};
  SendOptions send;
  ASSERT_EQ(parse_send_options({"--chunk", "010", "--interval", "0140", "--file-gap", "0100", "x"},
                               send, io),
            -1)
      << err.str();
  EXPECT_EQ(send.chunk_bytes, 10);
  EXPECT_EQ(send.interval_ms, 140);
  EXPECT_EQ(send.file_gap_ms, 100);
  MonitorOptions monitor;
  ASSERT_EQ(parse_monitor_options({"--count", "010", "--seconds", "1e1"}, monitor, io), -1);
  EXPECT_EQ(monitor.count, 10);
  EXPECT_EQ(monitor.seconds, 10.0);
  ReceiveOptions receive;
  ASSERT_EQ(parse_receive_options({"--count", "0010", "--seconds", "010"}, receive, io), -1);
  EXPECT_EQ(receive.count, 10);
  EXPECT_EQ(receive.seconds, 10.0);
  CableOptions cable;
  ASSERT_EQ(
      parse_cable_options({"--midi-out", "1", "--midi-in", "1", "--seconds", "08.5"}, cable, io),
      -1);
  EXPECT_EQ(cable.seconds, 8.5);
  for (const Args& bad : {Args{"--chunk", "0x10", "x"}, Args{"--interval", "0x100", "x"}})
    EXPECT_EQ(parse_send_options(bad, send, io), kUsage) << bad[1];
  EXPECT_EQ(parse_monitor_options({"--count", "0x10"}, monitor, io), kUsage);
  EXPECT_EQ(parse_receive_options({"--seconds", "inf"}, receive, io), kUsage);
  EXPECT_EQ(
      parse_cable_options({"--midi-out", "1", "--midi-in", "1", "--seconds", "nan"}, cable, io),
      kUsage);
  // Refused before any file is read: a missing AUDIO would fail with 1.
  for (const Args& bad : {Args{"--gain", "0x10"}, Args{"--loudness", "-0x10"},
                          Args{"--rate", "0x5622"}, Args{"--gain", "inf"}}) {
    Args args{"import", "missing.wav", "--dry-run"};
    args.insert(args.end(), bad.begin(), bad.end());
    const CliRun r = run_cli(args);
    EXPECT_EQ(r.status, kUsage) << bad[0] << ' ' << bad[1] << '\n' << r.err;
  }
  const CliRun r = run_cli({"import", "missing.wav", "--dry-run", "--gain", "nan"});
  EXPECT_EQ(r.err.rfind("briscatool import: --gain: needs a finite number of dB, not \"nan\"\n", 0),
            0u)
      << r.err;
  const CliRun rate = run_cli({"import", "missing.wav", "--dry-run", "--rate", "44101"});
  EXPECT_EQ(
      rate.err.rfind(
          "briscatool import: --rate: needs a rate from 2757 to 44100 Hz, not \"44101\"\n", 0),
      0u)
      << rate.err;
  // --wait takes no number below 0; its plain form is what the wait reads.
  err.str("");
  EXPECT_EQ(parse_receive_options({"--wait=-1"}, receive, io), kUsage);
  EXPECT_NE(err.str().find("--wait: needs a number of seconds, not \"-1\""), std::string::npos)
      << err.str();
  ASSERT_EQ(parse_receive_options({"--wait=02.50"}, receive, io), -1);
  EXPECT_EQ(receive.wait, 2.5);
}

}  // namespace
}  // namespace brisca::cli
