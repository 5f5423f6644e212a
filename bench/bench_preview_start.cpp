// From a click on a row to the first buffer handed to the wave device, for a 300-block sound:
// Start preview stops the current preview, opens and checks the file, and fills and submits the
// first buffer. Timed to the first write; the second buffer's fill follows it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <random>

#include "common/manual_clock.h"
#include "preview/preview_player.h"
#include "tests/preview/block_maker.h"
#include "tests/preview/fake_wave_out.h"

namespace brisca {
namespace {

using Clock = std::chrono::steady_clock;

std::string write_sound(int blocks, int pitch) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("bench_preview_start_" + std::to_string(pitch) + ".mid"))
                               .string();
  std::mt19937 rng(7);
  std::vector<Bytes> messages;
  for (int i = 1; i <= blocks; ++i)
    messages.push_back(make_block(static_cast<std::uint16_t>(i), test::random_block(rng, pitch)));
  write_file(path, test::sound_file(messages, blocks));
  return path;
}

// A device that notes when the first buffer arrives and plays everything at once.
class TimedWaveOut : public test::FakeWaveOut {
 public:
  TimedWaveOut(test::WaveLog& log, Clock::time_point& first) : FakeWaveOut(log), first_(first) {}
  Status write(WaveHeader& header) override {
    if (first_ == Clock::time_point{}) first_ = Clock::now();
    return FakeWaveOut::write(header);
  }

 private:
  Clock::time_point& first_;
};

class TimedService : public test::FakeAudioService {
 public:
  TimedService(test::WaveLog& log, Clock::time_point& first)
      : FakeAudioService(log), log_(log), first_(first) {}
  std::unique_ptr<WaveOutDevice> open_output(int device, WaveOutDeviceListener& listener) override {
    test::FakeAudioService::open_output(device, listener);
    return std::make_unique<TimedWaveOut>(log_, first_);
  }

 private:
  test::WaveLog& log_;
  Clock::time_point& first_;
};

void BM_ClickToFirstBuffer(benchmark::State& state) {
  const int pitch = static_cast<int>(state.range(0));
  const std::string path = write_sound(300, pitch);
  const std::string folder = std::filesystem::path(path).parent_path().string() + "/";
  const std::string name = std::filesystem::path(path).filename().string();
  test::WaveLog log;
  Clock::time_point first{};
  TimedService service(log, first);
  ManualClock clock;
  PreviewPlayer player(service, clock);
  if (!player.open(1)) state.SkipWithError("no output");
  (void)player.start_preview(folder, name);  // a preview is playing when the click comes
  for (auto _ : state) {
    first = {};
    log.written.clear();
    const auto click = Clock::now();
    if (!player.start_preview(folder, name)) state.SkipWithError("not played");
    state.SetIterationTime(std::chrono::duration<double>(first - click).count());
    clock.run_posted();
  }
  state.counters["buffers"] = static_cast<double>(log.written.size());
  player.close();
  std::filesystem::remove(path);
}
// Pitch byte 0 plays each block at its own rate; -8 and 8 resample by two either way.
BENCHMARK(BM_ClickToFirstBuffer)
    ->Arg(0)
    ->Arg(-8)
    ->Arg(8)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace brisca

BENCHMARK_MAIN();
