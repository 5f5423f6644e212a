#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "import/encoder.h"
#include "preview/block_source.h"
#include "soundfile/byte_stream.h"
#include "soundfile/sound_writer.h"
#include "soundfile/track_reader.h"

namespace brisca {
namespace {

// Writes the blocks as a sound file and plays it the way preview and render do.
std::vector<std::int16_t> play_written(const std::vector<UnpackedBlock>& blocks) {
  std::vector<Bytes> messages{make_header_block("T", "DRUM", static_cast<int>(blocks.size()) + 1)};
  for (std::size_t k = 0; k < blocks.size(); ++k)
    messages.push_back(make_block(static_cast<std::uint16_t>(k + 1), blocks[k]));
  const Bytes file = make_smf0(messages);
  BlockSource source{TrackReader(ByteStream::from_memory(file))};
  std::vector<std::int16_t> all;
  play_out(source, [&](const std::int16_t* s, std::size_t n) { all.insert(all.end(), s, s + n); });
  return all;
}

std::vector<float> decaying_noise(std::size_t n, double rate, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, 0.25);
  std::vector<float> s(n);
  for (std::size_t i = 0; i < n; ++i)
    s[i] = static_cast<float>(std::clamp(noise(rng), -1.0, 1.0) * std::exp(-8.0 * i / rate));
  return s;
}

TEST(Encoder, DecodedIsWhatTheWrittenFilePlays) {
  for (int pitch : {0, 8, -3}) {
    const double rate = 44100.0 * std::exp2(-pitch / 8.0);
    const auto source = decaying_noise(5000, rate, 7);
    const EncodedSound sound = encode_sound(source, {.pitch_byte = pitch});
    ASSERT_EQ(sound.blocks.size(), 6u) << pitch;
    EXPECT_EQ(sound.decoded, play_written(sound.blocks)) << pitch;
    EXPECT_GT(sound.snr_db, 30.0) << pitch;
  }
}

}  // namespace
}  // namespace brisca
