// The Import Audio dialog's figures:
//  - BM_SettingToSnr: from a change of setting (the rate switching between 44 100 and 22 050 Hz,
//    at each level choice) to the new SNR of a 2 s sound arriving from the worker thread;
//  - BM_ImportFiftyFiles: importing 50 drum hits of 0.2 to 1.2 s (read, level, encode, write),
//    as is and brought to -16 LUFS.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <numbers>
#include <string>
#include <vector>

#include "import/import_sound.h"
#include "import/prepare_queue.h"

namespace {

namespace fs = std::filesystem;

// A pitch-swept kick under a noise burst, `seconds` long, as a 16-bit mono 44.1 kHz WAV file.
void write_hit(const std::string& path, double seconds, std::uint32_t seed) {
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  const auto n = static_cast<std::size_t>(seconds * 44100);
  std::vector<float> s(n);
  std::uint32_t noise = seed;
  const double base = 40.0 + seed % 7 * 15.0, level = 0.2 + seed % 5 * 0.15;
  for (std::size_t k = 0; k < n; ++k) {
    const double t = static_cast<double>(k) / 44100;
    noise = noise * 1664525u + 1013904223u;
    const double white = static_cast<double>(noise >> 8) / 8388608.0 - 1.0;
    const double kick = std::sin(2 * std::numbers::pi * (base + 100 * std::exp(-30 * t)) * t);
    s[k] = static_cast<float>(level * (kick * std::exp(-5 * t) + 0.4 * white * std::exp(-18 * t)));
  }
  sf_writef_float(f, s.data(), static_cast<sf_count_t>(n));
  sf_close(f);
}

class Folder {
 public:
  Folder() {
    dir_ = fs::temp_directory_path() / ("brisca-bench-studio-" + std::to_string(::getpid()));
    fs::create_directories(dir_ / "out");
    write_hit(two_seconds(), 2.0, 99);
    for (std::uint32_t i = 0; i < 50; ++i)
      write_hit(hit(i), 0.2 + static_cast<double>(i % 11) * 0.1, i + 1);
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string two_seconds() const { return dir_ / "two.wav"; }
  std::string hit(std::uint32_t i) const { return dir_ / ("hit" + std::to_string(i) + ".wav"); }
  std::string out() const { return dir_ / "out"; }

 private:
  fs::path dir_;
};

const Folder& folder() {
  static const Folder f;
  return f;
}

brisca::LevelChoice level_of(std::int64_t arg) {
  if (arg == 1) return {brisca::LevelMode::kPeak, 0.0};
  if (arg == 2) return {brisca::LevelMode::kLoudness, -16.0};
  return {};
}

void BM_SettingToSnr(benchmark::State& state) {
  std::mutex m;
  std::condition_variable cv;
  std::uint64_t answered = 0;
  double snr = 0;
  brisca::PrepareQueue queue([&](brisca::RowSound r) {
    std::lock_guard lock(m);
    answered = r.request;
    snr = r.sound ? r.sound->figures.snr_db : 0.0;
    cv.notify_all();
  });
  brisca::ImportSettings s;
  s.level = level_of(state.range(0));
  auto change = [&] {
    s.pitch = s.pitch == 0 ? 8 : 0;
    const std::uint64_t asked = queue.request(0, folder().two_seconds(), s);
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return answered == asked; });
  };
  change();  // the file is read once, before the first change
  for (auto _ : state) change();
  state.counters["snr_db"] = snr;
}
BENCHMARK(BM_SettingToSnr)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImportFiftyFiles(benchmark::State& state) {
  brisca::ImportSettings s;
  s.level = level_of(state.range(0));
  s.replace = true;
  int blocks = 0;
  for (auto _ : state) {
    blocks = 0;
    for (std::uint32_t i = 0; i < 50; ++i) {
      const std::string audio = folder().hit(i);
      const brisca::Result<brisca::ImportedSound> r =
          brisca::import_audio(audio, brisca::output_path_for(audio, folder().out()), s);
      if (!r) {
        state.SkipWithError(r.message().c_str());
        return;
      }
      blocks += r->blocks;
    }
  }
  state.counters["blocks"] = blocks;
}
BENCHMARK(BM_ImportFiftyFiles)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
