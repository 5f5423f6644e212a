// What the audio tests do to each sound server: a long sound plays on the server's output, the
// server is killed, and the preview must end by itself without a hang or a spin (a lost device
// hands its buffers back); a new preview then ends at once; once the server is back, choosing
// the device again in setup opens it, and it plays to the end.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <iostream>
#include <string>

#include "app/devices/device_choices.h"
#include "app/devices/preview_hooks.h"
#include "common/loop_clock.h"
#include "platform/dummy/dummy_services.h"
#include "platform/rtaudio/rtaudio_service.h"
#include "preview/preview_player.h"
#include "tests/e2e/audio_e2e.h"

namespace brisca::test {

// A preview player on the sound servers' outputs, wired as the window wires it: the outputs
// listed, none of them open yet.
struct PreviewRig {
  rtaudio::RtAudioService service;
  DummyMidiService midi;
  DeviceChoices choices{midi, service, nullptr};
  LoopClock clock;
  PreviewPlayer player{service, clock};
  PlayerPreviewHooks hooks{player};

  PreviewRig() {
    choices.set_hooks(nullptr, nullptr, &hooks);
    choices.start_audio();
  }
};

struct AudioServerControl {
  std::function<bool()> kill;                   // with the test's signal
  std::function<bool()> start_again;            // the same server, clients' environment set
  std::function<int(const NameTable&)> output;  // the audio-out entry to play on, or 0
};

inline void preview_survives_server_loss(const std::string& dir, AudioServerControl& server) {
  using namespace std::chrono_literals;
  write_test_sound(dir + "/long.mid", 300, 31);
  write_test_sound(dir + "/short.mid", 20, 32);

  PreviewRig rig;
  auto& [service, midi, choices, clock, player, hooks] = rig;
  const int choice = server.output(choices.audio_table());
  ASSERT_GT(choice, 0);
  choices.apply_audio_setup(0, choice);
  ASSERT_EQ(choices.current().audio_out, choice);

  ASSERT_TRUE(player.start_preview(dir + "/", "long.mid"));
  clock.run([] { return false; }, 300ms);
  ASSERT_TRUE(player.busy());
  const auto killed_at = std::chrono::steady_clock::now();
  ASSERT_TRUE(server.kill());
  ASSERT_TRUE(clock.run([&] { return !player.busy(); }, 30s));
  std::cout << "the preview ended "
            << std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - killed_at)
                   .count()
            << " ms after the server was killed\n";
  EXPECT_TRUE(player.device_failed());
  const double cpu_before = cpu_seconds();
  clock.run([] { return false; }, 1000ms);
  EXPECT_LT(cpu_seconds() - cpu_before, 0.3);
  ASSERT_TRUE(player.start_preview(dir + "/", "short.mid"));
  EXPECT_FALSE(player.busy());

  ASSERT_TRUE(server.start_again());
  choices.apply_audio_setup(0, choice);
  ASSERT_EQ(choices.current().audio_out, choice);
  ASSERT_TRUE(player.start_preview(dir + "/", "short.mid"));
  EXPECT_TRUE(player.busy());
  ASSERT_TRUE(clock.run([&] { return !player.busy(); }, 30s));
  EXPECT_FALSE(player.device_failed());
  choices.close_devices();
}

}  // namespace brisca::test
