#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "import/encoder.h"
#include "preview/block_source.h"
#include "preview/decoder.h"
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
  BlockSource source{TrackReader::read(ByteStream::from_memory(file)).value()};
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

std::vector<float> sine(std::size_t n, double hz, double amplitude) {
  std::vector<float> s(n);
  for (std::size_t i = 0; i < n; ++i)
    s[i] = static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * hz * i / 44100.0));
  return s;
}

// SNR of pitch-0 output against the source, sample n against sample n, over the decoded length.
double snr_at_44100(const std::vector<float>& source, const std::vector<std::int16_t>& decoded) {
  double signal = 0.0, noise = 0.0;
  for (std::size_t n = 0; n < decoded.size(); ++n) {
    const double x = n < source.size() ? source[n] * 32768.0 : 0.0;
    signal += x * x;
    noise += (x - decoded[n]) * (x - decoded[n]);
  }
  return 10.0 * std::log10(signal / noise);
}

TEST(Encoder, DecodedIsWhatTheWrittenFilePlaysAndTheFigureIsHonest) {
  for (int pitch : {0, 8, -3}) {
    const double rate = 44100.0 * std::exp2(-pitch / 8.0);
    const auto source = decaying_noise(5000, rate, 7);
    const EncodedSound sound = encode_sound(source, {.pitch_byte = pitch});
    ASSERT_EQ(sound.blocks.size(), 6u) << pitch;
    for (const UnpackedBlock& b : sound.blocks)
      EXPECT_EQ(static_cast<std::int8_t>(b[kPitchOffset]), pitch);
    EXPECT_EQ(sound.decoded, play_written(sound.blocks)) << pitch;
    EXPECT_GT(sound.snr_db, 35.0) << pitch;
  }
  // At pitch 0 the figure is the plain comparison of the played samples with the source.
  const auto kick = decaying_noise(3000, 4000.0, 9);
  const EncodedSound sound = encode_sound(kick);
  EXPECT_NEAR(sound.snr_db, snr_at_44100(kick, sound.decoded), 1e-9);
}

TEST(Encoder, EdgeSourcesRoundTrip) {
  EXPECT_TRUE(encode_sound({}).blocks.empty());

  // Silence stays silent, exactly.
  const EncodedSound silent = encode_sound(std::vector<float>(1000, 0.0f));
  ASSERT_EQ(silent.blocks.size(), 2u);
  EXPECT_TRUE(std::all_of(silent.decoded.begin(), silent.decoded.end(),
                          [](std::int16_t v) { return v == 0; }));

  // One sample: one block that plays it and then silence.
  const EncodedSound one = encode_sound(std::vector<float>{0.5f});
  ASSERT_EQ(one.blocks.size(), 1u);
  ASSERT_EQ(one.decoded.size(), kSamplesPerBlock);
  EXPECT_NEAR(one.decoded[0], 16384, 1);
  EXPECT_TRUE(std::all_of(one.decoded.begin() + 1, one.decoded.end(),
                          [](std::int16_t v) { return v == 0; }));

  // A click in silence: the blocks around it stay silent and the click comes through.
  std::vector<float> click(3000, 0.0f);
  click[1000] = 0.9f;
  const EncodedSound clicked = encode_sound(click);
  EXPECT_GT(clicked.snr_db, 40.0);
  EXPECT_TRUE(std::all_of(clicked.decoded.begin(), clicked.decoded.begin() + 880,
                          [](std::int16_t v) { return v == 0; }));
  EXPECT_TRUE(std::all_of(clicked.decoded.begin() + 1760, clicked.decoded.end(),
                          [](std::int16_t v) { return v == 0; }));

  // A full-scale square: the decoder's clipping is part of the loop, so nothing wraps round and
  // each sample is within a step of the source.
  std::vector<float> square(4000);
  for (std::size_t n = 0; n < square.size(); ++n) square[n] = (n / 150) % 2 ? -1.0f : 1.0f;
  const EncodedSound loud = encode_sound(square);
  EXPECT_GT(loud.snr_db, 50.0);
  for (std::size_t n = 0; n < square.size(); ++n)
    ASSERT_LT(std::abs(square[n] * 32768.0 - loud.decoded[n]), 300.0) << n;

  // Samples that are not numbers or are far beyond full scale play as silence and as clipped
  // full scale.
  std::vector<float> wild(2000, 0.25f);
  wild[100] = std::numeric_limits<float>::quiet_NaN();
  wild[900] = std::numeric_limits<float>::infinity();
  wild[1500] = -1e30f;
  const EncodedSound tamed = encode_sound(wild);
  EXPECT_EQ(tamed.decoded, play_written(tamed.blocks));
  EXPECT_NEAR(tamed.decoded[100], 0, 200);
  EXPECT_EQ(tamed.decoded[900], 32767);
  EXPECT_EQ(tamed.decoded[1500], -32767);
  EXPECT_NEAR(tamed.decoded[1800], 8192, 200);
}

TEST(Encoder, FidelityFloorsAndNoWorseThanTheSimpleEncoders) {
  // White noise is the hardest case for an 8-bit step (no feedback predicts it); a sine the
  // easiest.
  const std::vector<std::vector<float>> sources{sine(22050, 440.0, 0.5),
                                                decaying_noise(22050, 44100.0, 3)};
  const double floors[] = {60.0, 40.0};
  for (std::size_t i = 0; i < sources.size(); ++i) {
    const double best = encode_sound(sources[i]).snr_db;
    const double grid = encode_sound(sources[i], {.search = EncoderSearch::kGrid}).snr_db;
    const double plain = encode_sound(sources[i], {.search = EncoderSearch::kPlain}).snr_db;
    EXPECT_GT(best, floors[i]) << i;
    EXPECT_GE(best, grid) << i;
    EXPECT_GE(grid, plain) << i;
  }
}

}  // namespace
}  // namespace brisca
