// Counting the blocks of a folder of 1 000 sound files of 300 blocks each (header block first, as
// sound files have it), the way the list gathers a folder: enumerate, open, count, close.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "soundfile/block_count.h"
#include "soundfile/sound_writer.h"
#include "soundfile/track_reader.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 1000;
constexpr int kBlocksPerFile = 300;

// The folder is written once per run and removed at exit.
class Folder {
 public:
  Folder() {
    path_ = fs::temp_directory_path() / ("brisca-bench-count-" + std::to_string(::getpid()));
    fs::create_directories(path_);
    brisca::UnpackedBlock data{};
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 13);
    std::vector<brisca::Bytes> messages{brisca::make_header_block("BENCH", "DRUM", kBlocksPerFile)};
    for (int k = 1; k < kBlocksPerFile; ++k)
      messages.push_back(brisca::make_block(static_cast<std::uint16_t>(k), data));
    const brisca::Bytes file = brisca::make_smf0(messages);
    for (int i = 0; i < kFiles; ++i)
      brisca::write_file((path_ / ("sound" + std::to_string(i) + ".mid")).string(), file);
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

const Folder& folder() {
  static const Folder f;
  return f;
}

void BM_CountFolder(benchmark::State& state) {
  const fs::path& dir = folder().path();
  long total = 0;
  for (auto _ : state) {
    total = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
      auto track = brisca::TrackReader::open(entry.path().string());
      if (!track) continue;
      total += brisca::count_blocks(*track).blocks;
    }
    benchmark::DoNotOptimize(total);
  }
  if (total != static_cast<long>(kFiles) * kBlocksPerFile) state.SkipWithError("wrong count");
  state.counters["files_per_s"] = benchmark::Counter(static_cast<double>(kFiles),
                                                     benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CountFolder)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
