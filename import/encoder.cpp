#include "import/encoder.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <system_error>
#include <thread>
#include <vector>

#include "import/block_search.h"
#include "import/fidelity.h"
#include "preview/decoder.h"
#include "preview/kernel.h"

namespace brisca {
namespace {

// History position p of the whole sound (block k's history position h is p = k x 880 + h)
// holds source sample p - 2: a phase-0 output plays history position 2 of its window, so
// output n of a pitch-0 sound is source sample n, with no lag.
constexpr std::size_t kLag = 2;
constexpr std::size_t kStartValues = 6;

// The source as the encoder reads it, position by position: nothing is copied, so a long sound
// costs no more memory than its blocks and its decoded samples.
struct Layout {
  std::span<const float> source;
  double w = 1.0;  // the decoder's weight for a phase-0 output: history value x w is played
  bool truncating = false;
  // Source x 32768 at history position p (0 outside the source). The decoder clips at full
  // scale, so beyond twice full scale nothing changes what is played; a sample that is not a
  // number is taken as silence.
  double x(std::size_t p) const {
    if (p < kLag || p - kLag >= source.size()) return 0.0;
    const double v = source[p - kLag];
    return v == v ? std::clamp(v, -2.0, 2.0) * 32768.0 : 0.0;
  }
  // The filter value that plays x(p).
  double ideal(std::size_t p) const { return x(p) / w; }
  // The value the filter should aim at. A truncating decoder plays trunc(w x y), so aiming half
  // a step away from zero makes it play the nearest whole sample.
  double aim(std::size_t p) const { return aim_at(x(p)); }
  double aim_at(double v) const {
    if (!truncating || v == 0.0) return v / w;
    return (v + (v > 0.0 ? 0.5 : -0.5)) / w;
  }
};

std::int16_t start_value(const Layout& l, std::size_t p) {
  const double v = std::clamp(std::round(l.aim(p)), -32768.0, 32767.0);
  return static_cast<std::int16_t>(v);
}

// The wanted values of block k: its start values and what each filter value should be.
std::array<std::int16_t, kStartValues> make_problem(const Layout& l, std::size_t k,
                                                    BlockProblem& p) {
  const std::size_t base = k * kSamplesPerBlock;
  // The start values are the wanted history itself, to 16 bits: the block begins where the
  // source is, whatever the previous block's filter made of it. So blocks do not depend on
  // each other.
  std::array<std::int16_t, kStartValues> start{};
  for (std::size_t i = 0; i < kStartValues; ++i) start[i] = start_value(l, base + i);
  p.start = start[kStartValues - 1];
  const std::size_t first = base + kStartValues;  // history position of filter value 0
  for (std::size_t j = 0; j < kSamplesPerBlock; ++j) p.x[j] = l.x(first + j);
  for (std::size_t j = 0; j < kSamplesPerBlock; ++j) p.want[j] = l.aim_at(p.x[j]);
  return start;
}

void put_block(const BlockChoice& c, const SampleBytes& bytes,
               const std::array<std::int16_t, kStartValues>& start, int pitch_byte,
               UnpackedBlock& b) {
  b.fill(0);
  for (std::size_t j = 0; j < kSamplesPerBlock; ++j)
    b[kSampleOffset + j] = static_cast<std::uint8_t>(bytes[j]);
  for (std::size_t i = 0; i < kStartValues; ++i) {
    const auto word = static_cast<std::uint16_t>(start[i]);
    b[kStartValuesOffset + 2 * i] = static_cast<std::uint8_t>(word >> 8);
    b[kStartValuesOffset + 2 * i + 1] = static_cast<std::uint8_t>(word & 0xFF);
  }
  b[kPitchOffset] = static_cast<std::uint8_t>(static_cast<std::int8_t>(pitch_byte));
  b[kLevelOffset] = static_cast<std::uint8_t>(static_cast<std::int8_t>(c.level));
  b[kFeedbackOffset] = static_cast<std::uint8_t>(static_cast<std::int8_t>(c.feedback));
}

// Block numbers from the largest error down.
std::vector<std::size_t> by_error(const std::vector<BlockChoice>& choices) {
  std::vector<std::size_t> order(choices.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return choices[a].error > choices[b].error;
  });
  return order;
}

double total_error(const std::vector<BlockChoice>& choices) {
  double total = 0.0;
  for (const BlockChoice& c : choices) total += c.error;
  return total;
}

// Runs work(k, problem) for each block number in `which`, spread over the processor's cores:
// blocks do not depend on each other, and each worker has a problem of its own. Short lists stay
// on the calling thread; a helper thread that cannot be started leaves its share to the others.
template <typename Work>
void for_blocks(const std::vector<std::size_t>& which, const BlockProblem& prototype, Work work) {
  constexpr std::size_t kBlocksPerWorker = 8, kMostWorkers = 8;
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t workers =
      std::min({cores, kMostWorkers, (which.size() + kBlocksPerWorker - 1) / kBlocksPerWorker});
  std::atomic<std::size_t> next{0};
  auto run = [&] {
    BlockProblem p = prototype;
    for (std::size_t i; (i = next.fetch_add(1)) < which.size();) work(which[i], p);
  };
  std::vector<std::thread> helpers;
  for (std::size_t t = 1; t < workers; ++t) {
    try {
      helpers.emplace_back(run);
    } catch (const std::system_error&) {
      break;
    }
  }
  run();
  for (std::thread& t : helpers) t.join();
}

std::vector<std::size_t> all_blocks(std::size_t blocks) {
  std::vector<std::size_t> which(blocks);
  for (std::size_t k = 0; k < blocks; ++k) which[k] = k;
  return which;
}

// The fewest blocks, loudest first, that hold `share` of the sound's error.
std::vector<bool> holding(const std::vector<BlockChoice>& choices, double share) {
  std::vector<bool> chosen(choices.size(), false);
  const double total = total_error(choices);
  double covered = 0.0;
  for (std::size_t k : by_error(choices)) {
    if (covered >= share * total) break;  // none when nothing is lost anywhere
    chosen[k] = true;
    covered += choices[k].error;
  }
  return chosen;
}

// The search goes where the error is: every block gets a first guess, the blocks that hold
// nearly all of the sound's error a full search.
void search_where_it_counts(const Layout& l, std::vector<BlockChoice>& choices,
                            const BlockProblem& prototype) {
  const std::vector<bool> chosen = holding(choices, 0.995);
  std::vector<std::size_t> which;
  for (std::size_t k = 0; k < choices.size(); ++k)
    if (chosen[k]) which.push_back(k);
  for_blocks(which, prototype, [&](std::size_t k, BlockProblem& p) {
    make_problem(l, k, p);
    choices[k] = search_block(p, choices[k]);
  });
}

// A sound's error mostly comes from a few loud blocks (the attack), where bytes overload; those
// with a large share of it get a wider search.
void refine_loudest(const Layout& l, std::vector<BlockChoice>& choices,
                    const BlockProblem& prototype) {
  constexpr double kShare = 0.02;
  constexpr std::size_t kMostBlocks = 8;
  const double total = total_error(choices);
  std::vector<std::size_t> which;
  for (std::size_t k : by_error(choices)) {
    if (which.size() == kMostBlocks || choices[k].error <= kShare * total) break;
    which.push_back(k);
  }
  for_blocks(which, prototype, [&](std::size_t k, BlockProblem& p) {
    make_problem(l, k, p);
    choices[k] = refine_block(p, choices[k]);
  });
}

}  // namespace

EncodedSound encode_sound(std::span<const float> source, const EncoderOptions& options) {
  EncodedSound sound;
  if (source.empty()) return sound;
  const int pitch = std::clamp(options.pitch_byte, -128, 127);
  const std::size_t blocks = (source.size() + kSamplesPerBlock - 1) / kSamplesPerBlock;
  const Layout l{source, kernel_doubles()[2], pitch == 0};
  sound.blocks.resize(blocks);
  BlockProblem p;
  p.w = l.w;
  p.truncating = l.truncating;
  // A pitch-0 block plays history positions 2..881: its last four filter values are not heard
  // (the next block plays those positions from its own start values).
  p.scored = pitch == 0 ? kSamplesPerBlock - 4 : kSamplesPerBlock;
  std::vector<BlockChoice> choices(blocks);
  const std::vector<std::size_t> every = all_blocks(blocks);
  for_blocks(every, p, [&](std::size_t k, BlockProblem& bp) {
    make_problem(l, k, bp);
    choices[k] = choose_block(bp, options.search);
  });
  std::vector<bool> trellis(blocks, false);
  if (options.search == EncoderSearch::kBest) {
    search_where_it_counts(l, choices, p);
    refine_loudest(l, choices, p);
    // The delayed-decision byte search for the blocks that hold 95 % of the error; the rest add
    // too little to the sound's error to repay it.
    trellis = holding(choices, 0.95);
  }
  for_blocks(every, p, [&](std::size_t k, BlockProblem& bp) {
    const auto start = make_problem(l, k, bp);
    const BlockChoice& c = choices[k];
    SampleBytes bytes;
    if (trellis[k])
      quantize_trellis(bp, c.level, c.feedback, bytes);
    else
      quantize_nearest(bp, c.level, c.feedback, HUGE_VAL, &bytes);
    put_block(c, bytes, start, pitch, sound.blocks[k]);
  });
  sound.decoded = decode_like_render(sound.blocks);
  sound.snr_db = ideal_snr_db(sound.decoded, blocks, pitch, [&](std::size_t k, double* history) {
    for (std::size_t h = 0; h < kHistoryValues; ++h) history[h] = l.ideal(k * kSamplesPerBlock + h);
  });
  return sound;
}

}  // namespace brisca
