// Building unpacked data blocks and sound files with chosen contents for the preview tests.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "preview/decoder.h"
#include "soundfile/sound_writer.h"

namespace brisca::test {

struct BlockFields {
  int pitch = 0, level = 0, feedback = 0;
  std::array<std::int16_t, 6> start{};
  std::vector<std::int8_t> samples;  // up to 880; the rest is 0
};

inline UnpackedBlock make_data_block(const BlockFields& desc) {
  UnpackedBlock b{};
  for (std::size_t j = 0; j < desc.samples.size() && j < kSamplesPerBlock; ++j)
    b[kSampleOffset + j] = static_cast<std::uint8_t>(desc.samples[j]);
  for (std::size_t k = 0; k < 6; ++k) {
    b[kStartValuesOffset + 2 * k] = static_cast<std::uint8_t>((desc.start[k] >> 8) & 0xFF);
    b[kStartValuesOffset + 2 * k + 1] = static_cast<std::uint8_t>(desc.start[k] & 0xFF);
  }
  b[kPitchOffset] = static_cast<std::uint8_t>(desc.pitch);
  b[kLevelOffset] = static_cast<std::uint8_t>(desc.level);
  b[kFeedbackOffset] = static_cast<std::uint8_t>(desc.feedback);
  return b;
}

inline UnpackedBlock random_block(std::mt19937& rng, int pitch) {
  BlockFields desc;
  desc.pitch = pitch;
  desc.level = std::uniform_int_distribution<int>(-12, 40)(rng);
  desc.feedback = std::uniform_int_distribution<int>(-128, 127)(rng);
  std::uniform_int_distribution<int> word(-32768, 32767), byte(-128, 127);
  for (auto& s : desc.start) s = static_cast<std::int16_t>(word(rng));
  desc.samples.resize(kSamplesPerBlock);
  for (auto& s : desc.samples) s = static_cast<std::int8_t>(byte(rng));
  return make_data_block(desc);
}

// Decodes with a room that is never the limit.
inline std::vector<std::int16_t> decode_all(const UnpackedBlock& block, double& carry) {
  std::vector<std::int16_t> out(block_output_samples(block) + 1);
  const std::size_t bytes = decode_block(out.data(), out.size(), block, carry);
  out.resize(bytes / 2);
  return out;
}

// A sound file: a header block, then the given messages (data blocks as messages, or others).
inline Bytes sound_file(const std::vector<Bytes>& after_header, int total = 0) {
  std::vector<Bytes> messages{make_header_block("TEST", "DRUM", total)};
  messages.insert(messages.end(), after_header.begin(), after_header.end());
  return make_smf0(messages);
}

inline Bytes data_message(std::uint16_t number, const UnpackedBlock& block) {
  return make_block(number, block);
}

}  // namespace brisca::test
