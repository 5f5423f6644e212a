// Decoder throughput as a multiple of real time, and the time to count the blocks of a folder of
// 1 000 sound files of 300 blocks each.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "preview/decoder.h"
#include "preview/kernel.h"
#include "soundfile/block_count.h"
#include "soundfile/sound_writer.h"
#include "soundfile/track_reader.h"

namespace {

using brisca::UnpackedBlock;

std::vector<UnpackedBlock> random_blocks(int pitch, int count) {
  std::mt19937 rng(1);
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<UnpackedBlock> blocks(static_cast<std::size_t>(count));
  for (auto& b : blocks) {
    for (auto& x : b) x = static_cast<std::uint8_t>(byte(rng));
    b[brisca::kPitchOffset] = static_cast<std::uint8_t>(pitch);
    b[brisca::kLevelOffset] = 6;
    b[brisca::kFeedbackOffset] = 120;
  }
  return blocks;
}

// One block after another with the carried phase, as preview decodes a sound.
void BM_DecodeBlock(benchmark::State& state) {
  brisca::build_kernel();
  const int pitch = static_cast<int>(state.range(0));
  const auto blocks = random_blocks(pitch, 64);
  std::vector<std::int16_t> out(21120);
  double carry = 0.0;
  std::size_t i = 0, samples = 0;
  for (auto _ : state) {
    samples += brisca::decode_block(out.data(), out.size(), blocks[i], carry) / 2;
    benchmark::DoNotOptimize(out.data());
    i = (i + 1) % blocks.size();
  }
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(samples) / brisca::kOutputRate, benchmark::Counter::kIsRate);
  state.counters["samples_per_s"] =
      benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeBlock)->ArgName("pitch")->Arg(0)->Arg(-8)->Arg(8)->Arg(3)->Arg(-3)->Arg(24);

}  // namespace

BENCHMARK_MAIN();
