// Preview playback through RtAudio on a real PulseAudio server (a null sink), recorded from the
// sink's monitor: the samples equal what `briscatool render` makes of the sound; a server that
// dies mid-play ends the preview without a hang or a spin (RtAudio's stream thread would call
// back in a tight loop), and the device works again once the server is back. A sink that comes
// and goes is reported by the outputs' poll under the name the audio table gives it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "app/devices/device_follower.h"
#include "tests/e2e/audio_capture.h"
#include "tests/e2e/audio_e2e.h"
#include "tests/e2e/server_loss.h"
#include "tests/e2e/watch_log.h"

namespace brisca {
namespace {

using namespace std::chrono_literals;

constexpr const char* kSinkEntry = "PulseAudio: VirtualSink (44.1 kHz, 16 bits, mono)";

using PulseAudioTest = test::FolderTest;

TEST_F(PulseAudioTest, PlayedSamplesEqualTheRenderedOnes) {
  ASSERT_TRUE(test::use_env_file(test::build_dir() + "/servers/pulse.env"));
  const std::string sound = test::write_test_sound(dir_ + "/noise.mid", 120, 41);
  const auto rendered = test::render(sound, dir_ + "/noise.wav");
  ASSERT_GT(rendered.size(), 44100u);
  test::PulseCapture capture(dir_ + "/recorded.raw");
  ASSERT_TRUE(capture.ok());
  ASSERT_TRUE(capture.wait_recording());
  const std::string command = test::quoted(test::briscatool()) + " play " + test::quoted(sound) +
                              " --audio-out " + test::quoted(kSinkEntry);
  ASSERT_EQ(std::system(command.c_str()), 0);
  capture.wait_recorded(0.3);  // past the recorder's own latency
  const auto recorded = capture.stop();
  const std::size_t at = test::find_sound(recorded, rendered);
  ASSERT_NE(at, test::kNotFound);
  EXPECT_TRUE(test::silent_outside(recorded, at, rendered.size()));
}

// The first line `command` prints, without its line end.
std::string first_line_of(const std::string& command) {
  std::string line;
  if (FILE* out = popen(command.c_str(), "r")) {
    char buffer[256];
    if (fgets(buffer, sizeof buffer, out) != nullptr) line = buffer;
    pclose(out);
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

// PulseAudio gives no notice of sinks coming and going: the outputs are listed again every
// couple of seconds, and a sink loaded and then unloaded is reported added, then removed.
TEST_F(PulseAudioTest, ASinkThatComesAndGoesIsReportedUnderItsListedName) {
  ASSERT_TRUE(test::use_env_file(test::build_dir() + "/servers/pulse.env"));
  rtaudio::RtAudioService service;
  LoopClock clock;
  test::WatchLog log;
  const auto watch = service.watch(clock, log);
  ASSERT_NE(watch, nullptr);
  const std::string module = first_line_of(
      "pactl load-module module-null-sink sink_name=brisca_watched rate=44100 channels=1 "
      "sink_properties=device.description=WatchedSink");
  ASSERT_FALSE(module.empty());
  bool unloaded = false;
  auto unload = [&] {
    unloaded = unloaded || std::system(("pactl unload-module " + module).c_str()) == 0;
  };
  struct Guard {
    std::function<void()> run;
    ~Guard() { run(); }
  } guard{unload};
  const NameTable table = fill_audio_table(service);
  std::string name;
  for (const std::string& entry : table.out)
    if (entry.rfind("PulseAudio: WatchedSink (", 0) == 0) name = device_name_of(entry);
  ASSERT_FALSE(name.empty());
  ASSERT_TRUE(clock.run([&] { return !log.audio_out(name).empty(); }, 30s));
  unload();
  ASSERT_TRUE(unloaded);
  ASSERT_TRUE(clock.run([&] { return log.audio_out(name).size() >= 2; }, 30s));
  EXPECT_EQ(log.audio_out(name),
            (std::vector<DeviceEvent>{{DeviceChange::Added, DeviceKind::AudioOut, name},
                                      {DeviceChange::Removed, DeviceKind::AudioOut, name}}));
}

// A private server for each signal, as the test kills it.
class PulseServerLossTest : public PulseAudioTest, public ::testing::WithParamInterface<int> {
 protected:
  bool server(const char* action) {
    const std::string command = "bash " +
                                test::quoted(test::source_dir() + "/scripts/pulse-server") + " " +
                                action + " " + test::quoted(server_dir());
    return std::system(command.c_str()) == 0;
  }
  std::string server_dir() const { return dir_ + "/server-" + std::to_string(GetParam()); }
  bool kill_server(int signal) {
    std::ifstream file(server_dir() + "/pulse/server.pid");
    pid_t pid = 0;
    file >> pid;
    return pid > 0 && ::kill(pid, signal) == 0;
  }
  void TearDown() override { server("stop"); }
};

TEST_P(PulseServerLossTest, ThePreviewEndsAndTheDeviceWorksAgainOnceTheServerIsBack) {
  ASSERT_TRUE(server("start"));
  ASSERT_TRUE(test::use_env_file(server_dir() + "/pulse.env"));
  test::AudioServerControl control{
      [&] { return kill_server(GetParam()); }, [&] { return server("start"); },
      [](const NameTable& table) { return find_entry(table.out, kSinkEntry); }};
  test::preview_survives_server_loss(dir_, control);
}

INSTANTIATE_TEST_SUITE_P(Signals, PulseServerLossTest, ::testing::Values(SIGKILL, SIGTERM));

}  // namespace
}  // namespace brisca
