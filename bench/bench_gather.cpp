// Gathering a folder of 1 000 sound files into the list (header block first, 20 data blocks
// each), as the command line or a drop of the folder does. The goal is well under 0.5 s.
#include <benchmark/benchmark.h>

#include "soundlist/gather.h"
#include "tests/support/fake_list.h"
#include "tests/support/fake_listeners.h"
#include "tests/support/sound_files.h"

namespace {

constexpr int kFiles = 1000;
constexpr int kDataBlocks = 20;

const brisca::test::TempDir& sound_folder() {
  static brisca::test::TempDir dir;
  static bool written = [] {
    brisca::UnpackedBlock data{};
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 31);
    for (int f = 0; f < kFiles; ++f) {
      std::vector<brisca::Bytes> blocks{
          brisca::make_header_block("SOUND " + std::to_string(f), "SNR ", kDataBlocks)};
      for (int b = 1; b <= kDataBlocks; ++b)
        blocks.push_back(brisca::make_block(static_cast<std::uint16_t>(b), data));
      brisca::write_file(dir / ("sound" + std::to_string(10000 + f) + ".mid"),
                         brisca::make_smf0(blocks));
    }
    return true;
  }();
  (void)written;
  return dir;
}

void BM_GatherFolderOf1000(benchmark::State& state) {
  const std::string folder = sound_folder().path();
  for (auto _ : state) {
    brisca::test::Recorder window;
    brisca::SoundList list(&window);
    brisca::test::FakeList rows(list);
    brisca::add_arguments(list, {folder});
    if (list.count() != kFiles || !window.boxes.empty()) state.SkipWithError("files missing");
    benchmark::DoNotOptimize(rows.inserted.data());
  }
  state.counters["files"] = kFiles;
}
BENCHMARK(BM_GatherFolderOf1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
