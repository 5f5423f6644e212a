// briscatool devices and play on a machine whose sound servers cannot be reached: the tables
// hold only "none", and play says why it cannot play instead of waiting.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/cli/cli.h"
#include "app/cli/midi_commands.h"
#include "tests/devices/fake_services.h"
#include "tests/support/sound_files.h"

namespace brisca::cli {
namespace {

class NoServersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("JACK_DEFAULT_SERVER", "brisca-no-such-server", 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    setenv("PULSE_SERVER", ("unix:" + tmp_ / "no-socket").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", tmp_.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", tmp_.path().c_str(), 1);  // nothing remembered
  }
  int run(const Args& args, int (*command)(const Args&, Streams)) {
    out_.str("");
    err_.str("");
    return command(args, {out_, err_});
  }
  test::TempDir tmp_;
  std::ostringstream out_, err_;
};

TEST_F(NoServersTest, DevicesListsTheFourTablesWithNoneFirst) {
  ASSERT_EQ(run({}, cmd_devices), kOk);
  const std::string text = out_.str();
  for (const char* line :
       {"MIDI In Devices\n  0  <no in device>\n", "MIDI Out Devices\n  0  <no out device>\n",
        "Audio In Devices\n  0  <no in device>\n", "Audio Out Devices\n  0  <no out device>\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  ASSERT_EQ(run({"--json"}, cmd_devices), kOk);
  nlohmann::json json;
  ASSERT_NO_THROW(json = nlohmann::json::parse(out_.str())) << out_.str();
  EXPECT_EQ(json, nlohmann::json::parse(R"({"midi_in": ["<no in device>"],
      "midi_out": ["<no out device>"], "audio_in": ["<no in device>"],
      "audio_out": ["<no out device>"]})"));
  EXPECT_EQ(run({"extra"}, cmd_devices), kUsage);
}

TEST_F(NoServersTest, PlaySaysWhyItCannotPlay) {
  EXPECT_EQ(run({}, cmd_play), kUsage);
  EXPECT_EQ(run({tmp_ / "missing.mid"}, cmd_play), kFailed);
  EXPECT_NE(err_.str().find("(no such file)"), std::string::npos);
  // A playlist's missing entry is named before any output is opened; the rest goes on.
  test::write_text(tmp_ / "kit.m3u", "a.mid\nmissing.mid\n");
  test::write_sound(tmp_ / "a.mid", 2);
  EXPECT_EQ(run({tmp_ / "kit.m3u"}, cmd_play), kFailed);
  EXPECT_EQ(err_.str().find(tmp_ / "missing.mid" + ": no such file\n"), 0u) << err_.str();
  EXPECT_NE(err_.str().find("no audio output chosen"), std::string::npos) << err_.str();

  const std::string sound = tmp_ / "a.mid";
  EXPECT_EQ(run({sound, tmp_ / "a.mid"}, cmd_play), kFailed);  // nothing remembered, nothing named
  EXPECT_NE(err_.str().find("no audio output chosen"), std::string::npos) << err_.str();
  EXPECT_EQ(run({sound, "--audio-out", "3"}, cmd_play), kUsage);
  EXPECT_NE(err_.str().find("no audio output \"3\""), std::string::npos) << err_.str();
  EXPECT_EQ(run({sound, "--audio-out", "PulseAudio: Nothing"}, cmd_play), kUsage);
  EXPECT_EQ(run({sound, "--audio-out=0"}, cmd_play), kFailed);  // "none" plays nothing
}

// --wait: a first listing that misses a port already there (its server busy or just started) is
// made up for by listing again, though the watch never reports that port. Without a limit given,
// a wait that relied on the watch alone would never end.
TEST(WaitForPort, ListsAgainWhenAListingMissedAPortTheWatchCannotReport) {
  struct LateListing : test::NamedMidiService {
    std::vector<std::string> input_names() override {
      return ++listings == 1 ? std::vector<std::string>{} : inputs;
    }
    int listings = 0;
  } service;
  service.inputs = {"JACK: module:out"};
  std::ostringstream err;
  EXPECT_TRUE(wait_for_port(service, PortSide::In, "module:out", WaitOption(0.0), {}, err));
  EXPECT_EQ(service.listings, 2);
  EXPECT_EQ(err.str(), "briscatool: waiting for the MIDI input \"module:out\" to appear\n");
}

}  // namespace
}  // namespace brisca::cli
