// Preview playback on a real JACK server (dummy driver), recorded at the far end by a JACK client
// of the test: the samples equal what `briscatool render` makes of the sound, on both sides of a
// stereo output;
// another sound chosen mid-play cuts the first at once and plays from its own start; a server
// that dies mid-play ends the preview without a hang or a spin, and the device works again once
// the server is back. Clients with audio inputs coming and going are watched: they are reported
// under the names the audio table lists, and one that goes while a preview plays on it stops the
// preview, the status line naming the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "app/devices/device_choices.h"
#include "app/devices/device_follower.h"
#include "app/devices/preview_hooks.h"
#include "common/loop_clock.h"
#include "platform/dummy/dummy_services.h"
#include "platform/rtaudio/rtaudio_service.h"
#include "preview/preview_player.h"
#include "tests/e2e/audio_capture.h"
#include "tests/e2e/audio_e2e.h"
#include "tests/e2e/jack_server.h"
#include "tests/e2e/server_loss.h"
#include "tests/e2e/watch_log.h"

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

using JackAudioTest = test::FolderTest;

// A stereo output gets the sound on both sides, to its last sample before `play` returns.
TEST_F(JackAudioTest, PlayedSamplesEqualTheRenderedOnesOnBothSidesOfAStereoOutput) {
  ASSERT_TRUE(test::use_jack_server(test::fixture_server_dir()));
  const std::string sound = test::write_test_sound(dir_ + "/noise.mid", 120, 11);
  const auto rendered = test::render(sound, dir_ + "/noise.wav");
  ASSERT_GT(rendered.size(), 44100u);
  JackCapture capture("brisca_capture", 2);
  ASSERT_TRUE(capture.ok());
  const std::string entry = "JACK: brisca_capture (44.1 kHz, 16 bits, mono)";
  const std::string command = test::quoted(test::briscatool()) + " play " + test::quoted(sound) +
                              " --audio-out " + test::quoted(entry);
  ASSERT_EQ(std::system(command.c_str()), 0);  // returns once the last buffer has played
  for (std::size_t side = 0; side < 2; ++side) {
    const auto recorded = capture.samples(side);
    const std::size_t at = test::find_sound(recorded, rendered);
    ASSERT_NE(at, test::kNotFound)
        << "side " << side << ": " << test::heard_from_start(recorded, rendered).second << " of "
        << rendered.size() << " samples arrived";
    EXPECT_TRUE(test::silent_outside(recorded, at, rendered.size())) << "side " << side;
  }
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
  LoopClock clock;
  PreviewPlayer player(service, clock);
  ASSERT_TRUE(player.open(choice));
  ASSERT_TRUE(
      player.start_preview(std::filesystem::path(first).parent_path().string() + "/", "first.mid"));
  clock.run([] { return false; }, 600ms);  // the first plays for a while
  const std::size_t switched_at = capture.frames();
  ASSERT_TRUE(player.start_preview(dir_ + "/", "second.mid"));
  ASSERT_TRUE(clock.run([&] { return !player.busy(); }, 30s));
  const auto recorded = capture.samples();  // the last buffer is done: all of it has arrived
  player.close();

  // The recording holds the start of the first sound, then (after at most a short silence) the
  // whole of the second, and nothing else.
  const auto [start, heard] = test::heard_from_start(recorded, first_rendered);
  ASSERT_GT(heard, 0u);
  EXPECT_LT(heard, first_rendered.size());
  EXPECT_LE(start + heard, switched_at + 44100) << "the first sound went on for over a second";
  const std::size_t second_at = test::find_sound(recorded, second_rendered, start + heard);
  ASSERT_NE(second_at, test::kNotFound);
  for (std::size_t i = start + heard; i < second_at; ++i) ASSERT_EQ(recorded[i], 0) << i;
  for (std::size_t i = second_at + second_rendered.size(); i < recorded.size(); ++i)
    ASSERT_EQ(recorded[i], 0) << i;
}

// A client with audio inputs that comes is reported added, once for its two ports, and when it
// goes removed, under the name the audio table gives it.
TEST_F(JackAudioTest, AnOutputThatComesAndGoesIsReportedUnderItsListedName) {
  ASSERT_TRUE(test::use_jack_server(test::fixture_server_dir()));
  rtaudio::RtAudioService service;
  LoopClock clock;
  test::WatchLog log;
  const auto watch = service.watch(clock, log);
  ASSERT_NE(watch, nullptr);
  std::optional<JackCapture> capture;
  capture.emplace("brisca_watched", 2);
  ASSERT_TRUE(capture->ok());
  const NameTable table = fill_audio_table(service);
  const int entry = entry_of(table, "brisca_watched");
  ASSERT_GT(entry, 0);
  const std::string name = device_name_of(table.out[static_cast<std::size_t>(entry)]);
  ASSERT_TRUE(clock.run([&] { return !log.audio_out(name).empty(); }, 30s));
  capture.reset();
  ASSERT_TRUE(clock.run([&] { return log.audio_out(name).size() >= 2; }, 30s));
  clock.run([] { return false; }, 200ms);  // nothing more follows
  EXPECT_EQ(log.audio_out(name),
            (std::vector<DeviceEvent>{{DeviceChange::Added, DeviceKind::AudioOut, name},
                                      {DeviceChange::Removed, DeviceKind::AudioOut, name}}));
}

// The output's client goes while a preview plays on it: the window's follower closes the output,
// which stops the preview, and the status line names the output and the file.
TEST_F(JackAudioTest, AnOutputGoneMidPreviewStopsItAndTheStatusNamesTheFile) {
  ASSERT_TRUE(test::use_jack_server(test::fixture_server_dir()));
  test::write_test_sound(dir_ + "/long.mid", 600, 51);
  std::optional<JackCapture> capture;
  capture.emplace("brisca_going");
  ASSERT_TRUE(capture->ok());
  test::PreviewRig rig;
  auto& [service, midi, choices, clock, player, hooks] = rig;
  const int choice = entry_of(choices.audio_table(), "brisca_going");
  ASSERT_GT(choice, 0);
  choices.apply_audio_setup(0, choice);
  ASSERT_EQ(choices.current().audio_out, choice);
  std::vector<std::string> said;
  DeviceFollower::Ports ports;
  ports.status = [&](const std::string& text, bool) { said.push_back(text); };
  ports.playing = [&] { return hooks.playing(); };
  DeviceFollower follower(choices, midi, service, clock, std::move(ports));
  ASSERT_TRUE(follower.watching());

  ASSERT_TRUE(hooks.start_preview(dir_ + "/", "long.mid"));
  ASSERT_TRUE(clock.run([&] { return capture->frames() > 4410; }, 30s));  // it sounds
  ASSERT_TRUE(player.busy());
  capture.reset();
  ASSERT_TRUE(clock.run([&] { return !said.empty(); }, 30s));
  EXPECT_EQ(said, std::vector<std::string>{
                      "Audio out \"JACK: brisca_going\" was unplugged while playing long.mid"});
  EXPECT_EQ(choices.current().audio_out, 0);
  EXPECT_EQ(hooks.playing(), "");
  // The reports of the buffers handed back as it closed are still on their way.
  EXPECT_TRUE(clock.run([&] { return !player.busy(); }, 30s));
}

// A private server, killed while a long sound plays; it comes back under the same name.
class JackServerLossAudioTest : public JackAudioTest, public ::testing::WithParamInterface<int> {};

TEST_P(JackServerLossAudioTest, ThePreviewEndsAndTheDeviceWorksAgainOnceTheServerIsBack) {
  const std::string server_dir = dir_ + "/server-" + std::to_string(GetParam());
  test::PrivateJackServer server(server_dir);
  ASSERT_TRUE(server.started());
  std::optional<test::PrivateJackServer> again;  // started on top of the killed one's record
  test::AudioServerControl control{
      [&] { return server.kill_with(GetParam()); },
      [&] { return again.emplace(server_dir).started(); },
      [](const NameTable& table) { return entry_of(table, "system"); }};
  test::preview_survives_server_loss(dir_, control);
}

INSTANTIATE_TEST_SUITE_P(Signals, JackServerLossAudioTest, ::testing::Values(SIGKILL, SIGTERM));

}  // namespace
}  // namespace brisca
