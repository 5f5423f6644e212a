// Receiving a 16 000-block sound dump (18.8 MB of System Exclusive) as the MIDI input hands it
// over: full 16 384-byte buffers, and 200-byte pieces with a clock byte in every one; the file is
// written each time. Prints bytes a second, the multiple of the MIDI wire rate (3 125 bytes a
// second) and the process's peak memory (the 18.8 MB input stream held by the benchmark, plus
// the sound the receiver holds).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "receive/sound_receiver.h"
#include "soundfile/sound_writer.h"

namespace {

namespace fs = std::filesystem;
constexpr int kBlocks = 16000;
constexpr double kWireBytesPerSecond = 31250.0 / 10.0;

struct Count : brisca::ReceiveEvents {
  int whole = 0;
  std::vector<std::string> paths;
  void sound_ended(const brisca::ReceivedSound& s) override {
    whole += s.whole ? 1 : 0;
    paths.push_back(s.path);
  }
};

// The dump as one byte stream; with `clocks`, a clock byte after every 199 bytes.
std::vector<std::uint8_t> dump_stream(bool clocks) {
  std::vector<std::uint8_t> all = brisca::make_header_block("BENCH", "DRUM", kBlocks);
  brisca::UnpackedBlock data{};
  for (int b = 1; b < kBlocks; ++b) {
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * b);
    const brisca::Bytes block = brisca::make_block(static_cast<std::uint16_t>(b), data);
    all.insert(all.end(), block.begin(), block.end());
  }
  if (!clocks) return all;
  std::vector<std::uint8_t> mixed;
  for (std::size_t at = 0; at < all.size(); at += 199) {
    mixed.insert(mixed.end(), all.begin() + at, all.begin() + std::min(at + 199, all.size()));
    mixed.push_back(0xF8);
  }
  return mixed;
}

long max_rss_kb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void BM_ReceiveDump(benchmark::State& state) {
  const std::size_t piece = static_cast<std::size_t>(state.range(0));
  const std::vector<std::uint8_t> stream = dump_stream(piece == 200);
  const fs::path dir =
      fs::temp_directory_path() / ("brisca-bench-receive-" + std::to_string(getpid()));
  fs::create_directories(dir);
  Count count;
  for (auto _ : state) {
    brisca::SoundReceiver receiver(dir.string(), count);
    const auto now = brisca::SoundReceiver::Clock::now();
    for (std::size_t at = 0; at < stream.size(); at += piece)
      receiver.long_data(stream.data() + at, std::min(piece, stream.size() - at), now);
    for (const std::string& path : count.paths) fs::remove(path);
    count.paths.clear();
  }
  fs::remove_all(dir);
  if (count.whole != static_cast<int>(state.iterations())) state.SkipWithError("not whole");
  const double bytes = static_cast<double>(stream.size());
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
  state.counters["x_wire_rate"] = benchmark::Counter(bytes / kWireBytesPerSecond,
                                                     benchmark::Counter::kIsIterationInvariantRate);
  state.counters["peak_rss_MB"] = static_cast<double>(max_rss_kb()) / 1024.0;
  state.counters["dump_MB"] = bytes / 1e6;
}
BENCHMARK(BM_ReceiveDump)->Arg(16384)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
