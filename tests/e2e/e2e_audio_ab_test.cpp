// The Import Audio dialog's A/B listening on a real JACK server (dummy driver), recorded at the
// far end: "Play Original" plays the audio exactly as read (a 16-bit mono 44.1 kHz file comes out
// sample for sample), "Play Result" plays exactly what `briscatool render` makes of the sound
// file written, and switching from one to the other carries on at the same place in the sound.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <numbers>

#include "app/devices/name_tables.h"
#include "common/loop_clock.h"
#include "import/prepare_queue.h"
#include "platform/rtaudio/rtaudio_service.h"
#include "preview/preview_player.h"
#include "tests/e2e/audio_capture.h"
#include "tests/e2e/audio_e2e.h"
#include "tests/e2e/jack_server.h"

namespace brisca {
namespace {

using namespace std::chrono_literals;
using Samples = std::shared_ptr<const std::vector<std::int16_t>>;

// 3 s of a falling tone over noise, never exactly zero, as a 16-bit mono 44.1 kHz file.
std::vector<std::int16_t> write_audio(const std::string& path) {
  std::vector<std::int16_t> s(3 * 44100);
  std::uint32_t noise = 7;
  for (std::size_t i = 0; i < s.size(); ++i) {
    noise = noise * 1664525u + 1013904223u;
    const double t = static_cast<double>(i) / 44100.0;
    const double v = 0.5 * std::sin(2 * std::numbers::pi * (900 - 200 * t) * t) +
                     0.05 * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5);
    s[i] = static_cast<std::int16_t>(std::lround(v * 32767));
    if (s[i] == 0) s[i] = 1;
  }
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  EXPECT_NE(f, nullptr);
  if (f == nullptr) return {};
  sf_writef_short(f, s.data(), static_cast<sf_count_t>(s.size()));
  sf_close(f);
  return s;
}

// How many samples of `sound` from `from` on lie in `recording` from `at` on, unchanged.
std::size_t run_length(const std::vector<std::int16_t>& recording, std::size_t at,
                       const std::vector<std::int16_t>& sound, std::size_t from) {
  std::size_t n = 0;
  while (at + n < recording.size() && from + n < sound.size() &&
         recording[at + n] == sound[from + n])
    ++n;
  return n;
}

std::size_t next_sound(const std::vector<std::int16_t>& recording, std::size_t at) {
  while (at < recording.size() && recording[at] == 0) ++at;
  return at;
}

using AbTest = test::FolderTest;

TEST_F(AbTest, OriginalAndResultAreTheAudioAsReadAndTheRenderedSoundAndSwitchingCarriesOn) {
  ASSERT_TRUE(test::use_jack_server(test::fixture_server_dir()));
  const std::string audio = dir_ + "/tone.wav";
  const std::vector<std::int16_t> as_read = write_audio(audio);
  ASSERT_FALSE(as_read.empty());

  // The row's sound, worked out as the dialog's worker does, and written as Import writes it.
  ImportSettings settings;
  settings.level = {LevelMode::kLoudness, -18.0};
  std::optional<RowSound> row;
  {
    std::mutex m;
    std::condition_variable cv;
    PrepareQueue queue([&](RowSound r) {
      std::lock_guard lock(m);
      row = std::move(r);
      cv.notify_all();
    });
    queue.request(0, audio, settings);
    std::unique_lock lock(m);
    ASSERT_TRUE(cv.wait_for(lock, 30s, [&] { return row.has_value(); }));
  }
  ASSERT_TRUE(row->sound.ok()) << row->sound.message();
  const Samples original = row->original;
  const auto result = std::make_shared<const std::vector<std::int16_t>>(row->sound->played);
  ASSERT_EQ(*original, as_read);
  const std::string sound = dir_ + "/tone.mid";
  ASSERT_TRUE(write_prepared(*row->sound, sound, true).ok());
  ASSERT_EQ(test::render(sound, dir_ + "/tone-render.wav"), *result);

  test::JackCapture capture("brisca_ab_capture");
  ASSERT_TRUE(capture.ok());
  rtaudio::RtAudioService service;
  const NameTable table = fill_audio_table(service);
  int choice = 0;
  for (std::size_t i = 1; i < table.out.size(); ++i)
    if (table.out[i].rfind("JACK: brisca_ab_capture (", 0) == 0) choice = static_cast<int>(i);
  ASSERT_GT(choice, 0);
  LoopClock clock;
  PreviewPlayer player(service, clock);
  ASSERT_TRUE(player.open(choice));

  // Original, then Result, then Original again to the end, each switch from where the last one
  // had got to (as the dialog does).
  std::vector<std::size_t> starts = {0};
  player.start_samples(original, 0);
  for (const Samples& next : {result, original}) {
    clock.run([] { return false; }, 700ms);
    const std::optional<std::uint64_t> played = player.played_samples();
    ASSERT_TRUE(played);
    starts.push_back(starts.back() + static_cast<std::size_t>(*played));
    player.start_samples(next, starts.back());
  }
  ASSERT_TRUE(clock.run([&] { return !player.busy(); }, 30s));
  const std::vector<std::int16_t> recorded = capture.samples();
  player.close();

  // Three stretches, with only silence between them: the original from its start, the result
  // from where it was asked to start, the original from there to its end.
  const std::vector<const std::vector<std::int16_t>*> streams = {original.get(), result.get(),
                                                                 original.get()};
  std::size_t at = next_sound(recorded, 0);
  for (std::size_t k = 0; k < 3; ++k) {
    const std::size_t n = run_length(recorded, at, *streams[k], starts[k]);
    ASSERT_GT(n, 0u) << "stretch " << k << " at " << at;
    if (k == 2) {
      EXPECT_EQ(starts[k] + n, original->size()) << "the original did not play to its end";
    } else {
      // Where the stream broke off is near where the next one carried on (within 100 ms).
      const double gap =
          std::abs(static_cast<double>(starts[k] + n) - static_cast<double>(starts[k + 1]));
      EXPECT_LT(gap, 4410.0) << "stretch " << k << " broke off at " << starts[k] + n
                             << ", the next began at " << starts[k + 1];
      std::printf("switch %zu: broke off at %zu, carried on at %zu (%.1f ms apart)\n", k,
                  starts[k] + n, starts[k + 1], gap / 44.1);
    }
    at = next_sound(recorded, at + n);
  }
  EXPECT_EQ(at, recorded.size()) << "more than the three stretches arrived";
}

}  // namespace
}  // namespace brisca
