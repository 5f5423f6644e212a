#include "preview/block_encoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "preview/decoder.h"
#include "preview/kernel.h"

namespace brisca {
namespace {

constexpr std::array<int, 9> kFeedbacks{0, 32, 64, 96, 112, 120, 124, 126, 127};
constexpr int kMaxLevel = 48;     // 48 dB below full scale is plenty for the quiet ends of a sound
constexpr std::size_t kLead = 4;  // outputs 0..3 of a block are its start values 2..5

inline std::int16_t to_word(double v) {
  return static_cast<std::int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
}

struct Trial {
  std::array<std::int8_t, kSamplesPerBlock> bytes{};
  std::array<double, kSamplesPerBlock> history{};  // what the decoder's filter makes of them
  double error = 0.0;
};

// Runs the closed loop for one level and feedback: target[j] is what filter value j should be.
void run_trial(const double* target, double start, double gain, double coef, Trial& t) {
  double prev = start;
  t.error = 0.0;
  const double unit = 256.0 * gain;
  for (std::size_t j = 0; j < kSamplesPerBlock; ++j) {
    const double want = (target[j] - prev * coef) / unit;
    const auto byte = static_cast<std::int8_t>(std::clamp(std::lround(want), -128L, 127L));
    const double y = (byte * 256.0) * gain + prev * coef;  // the decoder's own expression
    t.bytes[j] = byte;
    t.history[j] = y;
    t.error += (y - target[j]) * (y - target[j]);
    prev = y;
  }
}

}  // namespace

std::vector<UnpackedBlock> encode_samples(std::span<const std::int16_t> samples,
                                          std::vector<EncodedBlockInfo>* info) {
  // The decoder's output n is w x history value n + 2 of its block (w = kernel row 0's weight), so
  // the history should hold sample / w.
  const double w = kernel_doubles()[2];
  const std::size_t blocks = (samples.size() + kSamplesPerBlock - 1) / kSamplesPerBlock;
  auto target_at = [&](std::size_t n) { return n < samples.size() ? samples[n] / w : 0.0; };

  std::vector<UnpackedBlock> out(blocks);
  if (info) info->assign(blocks, {});
  std::array<std::int16_t, 6> start{};  // the first block starts from silence ...
  for (std::size_t i = 0; i < kLead; ++i) start[2 + i] = to_word(target_at(i));  // ... at once
  std::array<double, kSamplesPerBlock> target{};
  Trial best, trial;
  for (std::size_t k = 0; k < blocks; ++k) {
    const std::size_t base = k * kSamplesPerBlock + kLead;
    for (std::size_t j = 0; j < kSamplesPerBlock; ++j) target[j] = target_at(base + j);
    best.error = std::numeric_limits<double>::infinity();
    int best_level = 0, best_feedback = 0;
    for (int feedback : kFeedbacks) {
      for (int level = 0; level <= kMaxLevel; ++level) {
        run_trial(target.data(), start[5], gain_for_level(level), feedback / 128.0, trial);
        if (trial.error < best.error) {
          std::swap(best, trial);
          best_level = level;
          best_feedback = feedback;
        }
      }
    }
    UnpackedBlock& b = out[k];
    for (std::size_t j = 0; j < kSamplesPerBlock; ++j)
      b[kSampleOffset + j] = static_cast<std::uint8_t>(best.bytes[j]);
    for (std::size_t i = 0; i < 6; ++i) {
      b[kStartValuesOffset + 2 * i] = static_cast<std::uint8_t>((start[i] >> 8) & 0xFF);
      b[kStartValuesOffset + 2 * i + 1] = static_cast<std::uint8_t>(start[i] & 0xFF);
    }
    b[kPitchOffset] = 0;
    b[kLevelOffset] = static_cast<std::uint8_t>(best_level);
    b[kFeedbackOffset] = static_cast<std::uint8_t>(static_cast<std::int8_t>(best_feedback));
    if (info) {
      (*info)[k] = {best_level, best_feedback,
                    std::sqrt(best.error / static_cast<double>(kSamplesPerBlock))};
    }
    // The last six filter values become the next block's start values, so its first outputs
    // (start values 2..5) are the four this block computed but had no turn to play.
    for (std::size_t i = 0; i < 6; ++i) start[i] = to_word(best.history[kSamplesPerBlock - 6 + i]);
  }
  return out;
}

Bytes make_sound_file(std::string_view name, std::string_view type,
                      std::span<const std::int16_t> samples) {
  const std::vector<UnpackedBlock> blocks = encode_samples(samples);
  std::vector<Bytes> messages;
  messages.reserve(blocks.size() + 1);
  messages.push_back(make_header_block(name, type, static_cast<int>(blocks.size() + 1)));
  for (std::size_t k = 0; k < blocks.size(); ++k)
    messages.push_back(make_block(static_cast<std::uint16_t>(k + 1), blocks[k]));
  return make_smf0(messages);
}

}  // namespace brisca
