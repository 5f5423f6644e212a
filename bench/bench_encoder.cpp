// The sound encoder's fidelity and speed on drum hits: for each hit the SNR that a plain 8-bit
// encoder (feedback 0, level from each block's peak), a grid encoder (9 feedbacks x whole-dB
// levels) and the encoder reach at pitch byte 0, then the median and worst of each, and the
// encoding speed as a multiple of real time: by processor time (all threads together, so other
// load does not count) and by the clock (where the encoder's threads gain).
//
//   bench_encoder [FOLDER...]    recorded hits: every .wav/.flac under the folders (44.1 kHz);
//                                by default the drum kits of the hydrogen-data package
//
// SNR = 10 log10(sum x^2 / sum (x - y)^2) over the hit, x the source and y the decoded sound,
// at the best shift of -3..3 samples.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "bench/drum_hits.h"
#include "import/encoder.h"
#include "preview/kernel.h"

namespace {

using brisca::EncoderSearch;
using brisca::bench::Hit;

double shifted_snr(const std::vector<float>& source, const std::vector<std::int16_t>& decoded) {
  double signal = 0.0;
  for (float v : source) signal += (v * 32768.0) * (v * 32768.0);
  double best = HUGE_VAL;
  for (int shift = -3; shift <= 3; ++shift) {
    double noise = 0.0;
    for (std::size_t n = 0; n < source.size(); ++n) {
      const long at = static_cast<long>(n) + shift;
      const double y = at >= 0 && at < static_cast<long>(decoded.size())
                           ? decoded[static_cast<std::size_t>(at)]
                           : 0.0;
      const double e = source[n] * 32768.0 - y;
      noise += e * e;
    }
    best = std::min(best, noise);
  }
  return best > 0.0 ? 10.0 * std::log10(signal / best) : 999.0;
}

struct Column {
  const char* title;
  EncoderSearch search;
  std::vector<double> snr;
  double seconds = 0.0;  // processor time spent encoding, all threads together
  double wall = 0.0;     // time spent encoding on the clock
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n == 0 ? 0.0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0);
}

void run(const std::vector<Hit>& hits, const char* set) {
  if (hits.empty()) return;
  std::vector<Column> columns{{"plain", EncoderSearch::kPlain, {}},
                              {"grid", EncoderSearch::kGrid, {}},
                              {"encoder", EncoderSearch::kBest, {}}};
  double audio = 0.0;
  int below_grid = 0;
  std::printf("\n%-34s %7s %8s %8s %8s %7s\n", set, "secs", "plain", "grid", "encoder", "gain");
  for (const Hit& hit : hits) {
    audio += hit.samples.size() / brisca::bench::kRate;
    for (Column& c : columns) {
      // The least of three runs: other work on the machine only ever adds time.
      brisca::EncodedSound sound;
      double least = HUGE_VAL, least_wall = HUGE_VAL;
      for (int run = 0; run < 3; ++run) {
        const std::clock_t t0 = std::clock();
        const auto w0 = std::chrono::steady_clock::now();
        sound = brisca::encode_sound(hit.samples, {.search = c.search});
        least = std::min(least, static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC);
        least_wall =
            std::min(least_wall,
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count());
      }
      c.seconds += least;
      c.wall += least_wall;
      c.snr.push_back(shifted_snr(hit.samples, sound.decoded));
    }
    const double gain = columns[2].snr.back() - columns[1].snr.back();
    below_grid += gain < 0.0 ? 1 : 0;
    std::printf("%-34s %7.2f %8.2f %8.2f %8.2f %+7.2f\n", hit.name.c_str(),
                hit.samples.size() / brisca::bench::kRate, columns[0].snr.back(),
                columns[1].snr.back(), columns[2].snr.back(), gain);
  }
  std::printf("%-34s %7.1f", "median", audio);
  for (const Column& c : columns) std::printf(" %8.2f", median(c.snr));
  std::printf("\n%-34s %7s", "worst", "");
  for (const Column& c : columns)
    std::printf(" %8.2f", *std::min_element(c.snr.begin(), c.snr.end()));
  std::printf("\n%-34s %7s", "speed (x real time, processor)", "");
  for (const Column& c : columns) std::printf(" %8.0f", audio / c.seconds);
  std::printf("\n%-34s %7s", "speed (x real time, clock)", "");
  for (const Column& c : columns) std::printf(" %8.0f", audio / c.wall);
  std::printf("\n%zu hits, %d below the grid encoder\n", hits.size(), below_grid);
}

}  // namespace

int main(int argc, char** argv) {
  brisca::build_kernel();
  std::vector<std::string> folders(argv + 1, argv + argc);
  if (folders.empty()) folders.push_back("/usr/share/hydrogen/data/drumkits");
  run(brisca::bench::generated_hits(), "generated hits");
  std::vector<Hit> recorded;
  for (const auto& folder : folders) {
    auto hits = brisca::bench::recorded_hits(folder);
    recorded.insert(recorded.end(), hits.begin(), hits.end());
  }
  if (recorded.empty())
    std::printf("\nno recorded hits found (install hydrogen-data or name folders of WAV files)\n");
  run(recorded, "recorded hits");
  return 0;
}
