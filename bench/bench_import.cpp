// The whole import of an audio file as `briscatool import` runs it: reading a 5 s stereo 24-bit
// WAV file at 48 kHz, mixing, resampling to the sound's rate, trimming, encoding and writing the
// sound file. The counter x_real_time is seconds of audio imported per second.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "import/import_sound.h"
#include "import/sound_shape.h"

namespace {

namespace fs = std::filesystem;

constexpr double kSeconds = 5.0;
constexpr int kRate = 48000;

// Ten hits a second apart: a pitch-swept kick with a noisy snare-like burst on top.
class AudioFile {
 public:
  AudioFile() {
    dir_ = fs::temp_directory_path() / ("brisca-bench-import-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    SNDFILE* f = sf_open(path().c_str(), SFM_WRITE, &info);
    const auto n = static_cast<std::size_t>(kSeconds * kRate);
    std::vector<float> frames(2 * n);
    std::uint32_t noise = 12345;
    for (std::size_t k = 0; k < n; ++k) {
      const double t = std::fmod(static_cast<double>(k) / kRate, 0.5);
      noise = noise * 1664525u + 1013904223u;
      const double white = static_cast<double>(noise >> 8) / 8388608.0 - 1.0;
      const double kick = std::sin(2 * std::numbers::pi * (50 + 100 * std::exp(-30 * t)) * t);
      const double s = 0.7 * kick * std::exp(-6 * t) + 0.3 * white * std::exp(-15 * t);
      frames[2 * k] = static_cast<float>(s);
      frames[2 * k + 1] = static_cast<float>(0.8 * s);
    }
    sf_writef_float(f, frames.data(), static_cast<sf_count_t>(n));
    sf_close(f);
  }
  ~AudioFile() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string path() const { return (dir_ / "hits.wav").string(); }
  std::string output() const { return (dir_ / "hits.mid").string(); }

 private:
  fs::path dir_;
};

void BM_ImportAudioFile(benchmark::State& state) {
  static const AudioFile file;
  brisca::ImportSettings settings;
  settings.pitch = static_cast<int>(state.range(0));
  settings.replace = true;
  double snr = 0;
  for (auto _ : state) {
    const brisca::Result<brisca::ImportedSound> r =
        brisca::import_audio(file.path(), file.output(), settings);
    if (!r) {
      state.SkipWithError(r.message().c_str());
      return;
    }
    snr = r->snr_db;
  }
  state.counters["x_real_time"] = benchmark::Counter(
      kSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["snr_db"] = snr;
}
BENCHMARK(BM_ImportAudioFile)->Arg(0)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
