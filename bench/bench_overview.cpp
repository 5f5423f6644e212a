// The overview of one 300-block sound file (pitch byte 0, 264 000 samples): what a worker does
// for each row that comes into view. The file is read three times (header, wholeness and
// down-load chunks, decoding); the parts are timed apart as well.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

#include "preview/block_source.h"
#include "preview/overview.h"
#include "soundfile/byte_stream.h"
#include "soundfile/sound_check.h"
#include "tests/preview/block_maker.h"

namespace brisca {
namespace {

const std::string& sound_300() {
  static const std::string path = [] {
    std::string p = (std::filesystem::temp_directory_path() / "bench_overview_300.mid").string();
    std::mt19937 rng(11);
    std::vector<Bytes> messages;
    for (int i = 1; i <= 300; ++i)
      messages.push_back(make_block(static_cast<std::uint16_t>(i), test::random_block(rng, 0)));
    write_file(p, test::sound_file(messages, 301));
    return p;
  }();
  return path;
}

void BM_Overview300Blocks(benchmark::State& state) {
  const std::string& path = sound_300();
  for (auto _ : state) {
    SoundOverview o = compute_overview(path);
    if (o.damaged() || o.samples != 300u * 880u) state.SkipWithError("wrong overview");
    benchmark::DoNotOptimize(o.envelope.data());
  }
}
BENCHMARK(BM_Overview300Blocks)->Unit(benchmark::kMillisecond);

void BM_Check300Blocks(benchmark::State& state) {
  const std::string& path = sound_300();
  for (auto _ : state) {
    auto stream = ByteStream::open_file(path);
    const Result<SoundCheck> check = check_sound(*stream);
    if (!check || !check->complete()) state.SkipWithError("not whole");
  }
}
BENCHMARK(BM_Check300Blocks)->Unit(benchmark::kMillisecond);

void BM_Decode300Blocks(benchmark::State& state) {
  const std::string& path = sound_300();
  for (auto _ : state) {
    auto track = TrackReader::open(path);
    BlockSource source(std::move(*track));
    std::size_t samples = play_out(source, [](const std::int16_t*, std::size_t) {});
    benchmark::DoNotOptimize(samples);
  }
}
BENCHMARK(BM_Decode300Blocks)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace brisca

BENCHMARK_MAIN();
