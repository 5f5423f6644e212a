// Preview playback through RtAudio on a real JACK server (dummy driver), recorded at the far end
// by a JACK client of the test: the samples equal what `briscatool render` makes of the sound;
// another sound chosen mid-play cuts the first at once and plays from its own start; a server
// that dies mid-play ends the preview without a hang or a spin, and the device works again once
// the server is back.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "app/cli/console_window.h"
#include "app/devices/device_choices.h"
#include "app/devices/preview_hooks.h"
#include "app/devices/settings.h"
#include "platform/dummy/dummy_services.h"
#include "platform/rtaudio/rtaudio_service.h"
#include "preview/preview_player.h"
#include "tests/e2e/audio_capture.h"
#include "tests/e2e/audio_e2e.h"
#include "tests/e2e/jack_server.h"

namespace brisca {
namespace {

using namespace std::chrono_literals;
using test::JackCapture;

// The audio-out entry of `device`, or 0.
int entry_of(const NameTable& table, const std::string& device) {
  for (std::size_t i = 1; i < table.out.size(); ++i)
    if (table.out[i].rfind("JACK: " + device + " (", 0) == 0) return static_cast<int>(i);
  return 0;
}

class JackAudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::test_dir();
    std::filesystem::create_directories(dir_);
  }
  std::string dir_;
};

TEST_F(JackAudioTest, PlayedSamplesEqualTheRenderedOnes) {
  ASSERT_TRUE(test::use_jack_server(test::fixture_server_dir()));
  const std::string sound = test::write_test_sound(dir_ + "/noise.mid", 120, 11);
  const auto rendered = test::render(sound, dir_ + "/noise.wav");
  ASSERT_GT(rendered.size(), 44100u);
  JackCapture capture("brisca_capture");
  ASSERT_TRUE(capture.ok());
  const std::string entry = "JACK: brisca_capture (44.1 kHz, 16 bits, mono)";
  const std::string command = test::quoted(test::briscatool()) + " play " + test::quoted(sound) +
                              " --audio-out " + test::quoted(entry);
  ASSERT_EQ(std::system(command.c_str()), 0);  // returns once the last buffer is done
  std::this_thread::sleep_for(100ms);          // the last period reaches the recorder
  const auto recorded = capture.samples();
  const std::size_t at = test::find_sound(recorded, rendered);
  ASSERT_NE(at, test::kNotFound);
  EXPECT_TRUE(test::silent_outside(recorded, at, rendered.size()));
}

TEST_F(JackAudioTest, AnotherSoundMidPlayCutsTheFirstAndStartsFromItsBeginning) {
  ASSERT_TRUE(test::use_jack_server(test::fixture_server_dir()));
  const std::string first = test::write_test_sound(dir_ + "/first.mid", 200, 21);
  const std::string second = test::write_test_sound(dir_ + "/second.mid", 60, 22);
  const auto first_rendered = test::render(first, dir_ + "/first.wav");
  const auto second_rendered = test::render(second, dir_ + "/second.wav");
  ASSERT_FALSE(first_rendered.empty());
  ASSERT_FALSE(second_rendered.empty());
  JackCapture capture("brisca_capture");
  ASSERT_TRUE(capture.ok());

  rtaudio::RtAudioService service;
  const NameTable table = fill_audio_table(service);
  const int choice = entry_of(table, "brisca_capture");
  ASSERT_GT(choice, 0);
  cli::ConsoleWindow window;
  PreviewPlayer player(service, window);
  window.on_message([&](WindowMessage m, std::uintptr_t w, std::uintptr_t l) {
    if (m == WindowMessage::WaveOut) player.on_wave_message(w, l);
  });
  ASSERT_EQ(player.open(choice), choice);
  player.start_preview(std::filesystem::path(first).parent_path().string() + "/", "first.mid");
  window.run([] { return false; }, 600ms);  // the first plays for a while
  const std::size_t switched_at = capture.frames();
  player.start_preview(dir_ + "/", "second.mid");
  ASSERT_TRUE(window.run([&] { return !player.busy(); }, 30s));
  std::this_thread::sleep_for(100ms);
  player.close();
  const auto recorded = capture.samples();

  // The recording holds the start of the first sound, then (after at most a short silence) the
  // whole of the second, and nothing else.
  const std::size_t start =
      std::find_if(recorded.begin(), recorded.end(), [](std::int16_t s) { return s != 0; }) -
      recorded.begin();
  std::size_t heard = 0;
  while (start + heard < recorded.size() && heard < first_rendered.size() &&
         recorded[start + heard] == first_rendered[heard])
    ++heard;
  ASSERT_GT(heard, 0u);
  EXPECT_LT(heard, first_rendered.size());
  EXPECT_LE(start + heard, switched_at + 44100) << "the first sound went on for over a second";
  const std::size_t second_at = test::find_sound(recorded, second_rendered, start + heard);
  ASSERT_NE(second_at, test::kNotFound);
  for (std::size_t i = start + heard; i < second_at; ++i) ASSERT_EQ(recorded[i], 0) << i;
  for (std::size_t i = second_at + second_rendered.size(); i < recorded.size(); ++i)
    ASSERT_EQ(recorded[i], 0) << i;
}

// A private server, killed while a long sound plays.
class JackServerLossAudioTest : public JackAudioTest, public ::testing::WithParamInterface<int> {};

TEST_P(JackServerLossAudioTest, ThePreviewEndsAndTheDeviceWorksAgainOnceTheServerIsBack) {
  const std::string server_dir = dir_ + "/server-" + std::to_string(GetParam());
  test::PrivateJackServer server(server_dir);
  ASSERT_TRUE(server.started());
  test::write_test_sound(dir_ + "/long.mid", 300, 31);
  test::write_test_sound(dir_ + "/short.mid", 20, 32);

  rtaudio::RtAudioService service;
  DummyMidiService midi;
  DeviceChoices choices(midi, service, nullptr);
  cli::ConsoleWindow window;
  PreviewPlayer player(service, window);
  PlayerPreviewHooks hooks(player);
  window.on_message([&](WindowMessage m, std::uintptr_t w, std::uintptr_t l) {
    if (m == WindowMessage::WaveOut) player.on_wave_message(w, l);
  });
  choices.set_hooks(nullptr, nullptr, &hooks);
  choices.start_audio();  // the tables of this start-up are kept, as in the program
  const int choice = entry_of(choices.audio_table(), "system");
  ASSERT_GT(choice, 0);
  choices.apply_audio_setup(0, choice);
  ASSERT_EQ(choices.current().audio_out, choice);

  player.start_preview(dir_ + "/", "long.mid");
  window.run([] { return false; }, 300ms);
  ASSERT_TRUE(player.busy());
  ASSERT_TRUE(server.kill_with(GetParam()));
  // The device notices by itself that its server is gone: the preview ends.
  ASSERT_TRUE(window.run([&] { return !player.busy(); }, 15s));
  EXPECT_TRUE(player.device_failed());
  // Nothing is left spinning.
  const double cpu_before = test::cpu_seconds();
  window.run([] { return false; }, 1000ms);
  EXPECT_LT(test::cpu_seconds() - cpu_before, 0.3);
  // Still usable: a new preview ends at once instead of waiting for buffers that never finish.
  player.start_preview(dir_ + "/", "short.mid");
  EXPECT_FALSE(player.busy());

  // The server comes back; choosing the device again in setup opens it, and it plays.
  // (The killed server's record stays until its process is reaped, so start on top of it.)
  test::PrivateJackServer again(server_dir);
  ASSERT_TRUE(again.started());
  choices.apply_audio_setup(0, choice);
  ASSERT_EQ(choices.current().audio_out, choice);
  player.start_preview(dir_ + "/", "short.mid");
  EXPECT_TRUE(player.busy());
  ASSERT_TRUE(window.run([&] { return !player.busy(); }, 30s));
  EXPECT_FALSE(player.device_failed());
  choices.close_devices();
}

INSTANTIATE_TEST_SUITE_P(Signals, JackServerLossAudioTest, ::testing::Values(SIGKILL, SIGTERM));

}  // namespace
}  // namespace brisca
