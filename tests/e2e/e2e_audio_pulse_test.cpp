// Preview playback through RtAudio on a real PulseAudio server (a null sink), recorded from the
// sink's monitor: the samples equal what `briscatool render` makes of the sound; a server that
// dies mid-play ends the preview without a hang or a spin (RtAudio's stream thread would call
// back in a tight loop), and the device works again once the server is back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/e2e/audio_capture.h"
#include "tests/e2e/audio_e2e.h"
#include "tests/e2e/server_loss.h"

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
