#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "block_maker.h"
#include "preview/decoder.h"
#include "preview/kernel.h"
#include "reference_decoder.h"

namespace brisca {
namespace {

using test::BlockFields;
using test::decode_all;
using test::make_data_block;

constexpr double kW = 32766.0 / 32768.0;  // row 0's one weight

std::int16_t trunc_clip(double v) {
  return static_cast<std::int16_t>(std::trunc(std::clamp(v, -32767.0, 32767.0)));
}

TEST(Decoder, MatchesTheStepByStepDecoderBitForBit) {
  std::mt19937 rng(2024);
  // Sounds of a few blocks each, the pitch changing or not between blocks; the phase is carried
  // through both decoders. Pitch only falls within a sound here, so the carried phase x step
  // stays below 1, where the step-by-step decoder is defined.
  for (int sound = 0; sound < 60; ++sound) {
    int pitch = std::uniform_int_distribution<int>(-40, 32)(rng);
    double fast = 0.0, slow = 0.0;
    for (int k = 0; k < 4; ++k) {
      const UnpackedBlock block = test::random_block(rng, pitch);
      const auto expected = test::reference_decode(block, slow);
      const auto got = decode_all(block, fast);
      ASSERT_EQ(got, expected) << "pitch " << pitch << " block " << k;
      ASSERT_EQ(fast, slow);
      if (sound % 2) pitch += std::uniform_int_distribution<int>(0, 3)(rng);
    }
  }
}

TEST(Decoder, KernelSumRunsFromTapZeroUpward) {
  // Each partial sum rounds, so another order gives other last bits on such windows.
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> value(-40000.0, 40000.0), phase(0.0, 1.0);
  int differs_from_pairwise = 0;
  for (int t = 0; t < 2000; ++t) {
    double window[6];
    for (double& x : window) x = value(rng);
    const double frac = phase(rng);
    const double* w = kernel_doubles() + static_cast<int>(frac * 512) * kKernelStride;
    ASSERT_EQ(interp_kernel(window, frac), test::reference_interp(window, frac));
    const double pairwise = (w[0] * window[0] + w[1] * window[1]) +
                            (w[2] * window[2] + w[3] * window[3]) +
                            (w[4] * window[4] + w[5] * window[5]);
    differs_from_pairwise += pairwise != interp_kernel(window, frac);
  }
  EXPECT_GT(differs_from_pairwise, 0);  // the check above can tell orders apart
}

TEST(Decoder, OutputCountFollowsThePitchByte) {
  std::mt19937 rng(7);
  struct Case {
    int pitch;
    std::size_t low, high;
  };
  for (const Case c : {Case{0, 880, 880}, Case{8, 1759, 1761}, Case{-8, 880, 880},
                       Case{-128, 880, 880}, Case{16, 3519, 3521}, Case{32, 14079, 14081}}) {
    double carry = 0.0;
    const UnpackedBlock block = test::random_block(rng, c.pitch);
    std::vector<std::int16_t> out(20000);
    const std::size_t bytes = decode_block(out.data(), out.size(), block, carry);
    EXPECT_EQ(bytes % 2, 0u);
    EXPECT_GE(bytes / 2, c.low) << "pitch " << c.pitch;
    EXPECT_LE(bytes / 2, c.high) << "pitch " << c.pitch;
    EXPECT_EQ(bytes / 2, block_output_samples(block));
  }
}

TEST(Decoder, PitchZeroPlaysWindowValueTwo) {
  // No feedback and gain 1: the filter holds byte x 256, and output n is w x (history value n + 2),
  // that is the start values 2..5 and then the samples, four places behind.
  BlockFields desc;
  desc.start = {-1000, -2000, 3000, -4000, 5000, 32767};
  for (int j = 0; j < 880; ++j) desc.samples.push_back(static_cast<std::int8_t>(j * 37));
  double carry = 0.0;
  const auto out = decode_all(make_data_block(desc), carry);
  ASSERT_EQ(out.size(), 880u);
  for (int n = 0; n < 4; ++n) EXPECT_EQ(out[n], trunc_clip(kW * desc.start[2 + n]));
  for (std::size_t n = 4; n < 880; ++n)
    EXPECT_EQ(out[n], trunc_clip(kW * desc.samples[n - 4] * 256));
  EXPECT_EQ(carry, 0.0);
}

TEST(Decoder, LevelByteSetsTheGainAndOutputIsClipped) {
  auto level_output = [](int level, std::int8_t byte) {
    BlockFields desc;
    desc.level = level;
    desc.samples.assign(880, byte);
    double carry = 0.0;
    return decode_all(make_data_block(desc), carry)[10];
  };
  EXPECT_EQ(level_output(0, 100), trunc_clip(kW * 25600));
  EXPECT_EQ(level_output(20, 100), trunc_clip(kW * 25600 * 0.1));
  EXPECT_EQ(level_output(20, -100), trunc_clip(kW * -25600 * 0.1));
  EXPECT_EQ(level_output(-6, 50), trunc_clip(kW * 12800 * std::pow(10.0, 0.3)));
  // Amplified past full scale: 32767 at the top, -32767 (never -32768) at the bottom.
  EXPECT_EQ(level_output(-20, 127), 32767);
  EXPECT_EQ(level_output(-20, -128), -32767);
  EXPECT_EQ(level_output(0, -128), trunc_clip(kW * -32768));
  EXPECT_EQ(gain_for_level(20), std::pow(10.0, -1.0));
}

TEST(Decoder, FeedbackByteSetsTheRecursion) {
  // One impulse: the filter then holds 25600 x coef^n.
  auto impulse_response = [](int feedback) {
    BlockFields desc;
    desc.feedback = feedback;
    desc.samples.assign(880, 0);
    desc.samples[0] = 100;
    double carry = 0.0;
    return decode_all(make_data_block(desc), carry);
  };
  const auto none = impulse_response(0);
  EXPECT_EQ(none[4], trunc_clip(kW * 25600));
  EXPECT_EQ(none[5], 0);
  const auto slow = impulse_response(127);
  double y = 25600;
  for (int n = 4; n < 40; ++n, y *= 0.9921875) EXPECT_EQ(slow[n], trunc_clip(kW * y)) << n;
  const auto alternating = impulse_response(-64);
  EXPECT_GT(alternating[4], 0);
  EXPECT_LT(alternating[5], 0);
  EXPECT_EQ(alternating[5], trunc_clip(kW * 25600 * -0.5));
  EXPECT_GT(alternating[6], 0);
}

TEST(Decoder, CarriesThePhaseIntoTheNextBlock) {
  std::mt19937 rng(99);
  const UnpackedBlock first = test::random_block(rng, 3);
  const UnpackedBlock second = test::random_block(rng, 3);
  double carry = 0.0;
  decode_all(first, carry);
  const double step = step_for_pitch(3);
  ASSERT_GT(carry, 0.0);
  ASSERT_LT(carry * step, 1.0);
  // The next block's first point lies at the carried phase, all its others at multiples of step.
  double history[6];
  for (int k = 0; k < 6; ++k)
    history[k] = static_cast<std::int16_t>((second[928 + 2 * k] << 8) | second[929 + 2 * k]);
  double c2 = carry;
  const auto out = decode_all(second, c2);
  EXPECT_EQ(out[0], trunc_clip(interp_kernel(history, carry * step)));
  double zero = 0.0;
  EXPECT_NE(out, decode_all(second, zero));
}

TEST(Decoder, RowStaysInTheTableWhenTheStepGrows) {
  // A slow block leaves a carry near 2; a block of step 256 then asks for phase ~500.
  BlockFields slow_spec;
  slow_spec.pitch = 8;
  std::mt19937 rng(3);
  double carry = 0.0;
  decode_all(make_data_block(slow_spec), carry);
  carry = 1.9999;  // the largest a step-0.5 block can leave
  BlockFields fast_spec;
  fast_spec.pitch = -64;
  fast_spec.start = {100, -200, 300, 20000, -500, 600};
  const UnpackedBlock fast = make_data_block(fast_spec);
  double history[6] = {100, -200, 300, 20000, -500, 600};
  const auto out = decode_all(fast, carry);
  ASSERT_EQ(out.size(), 880u);
  EXPECT_EQ(out[0], trunc_clip(interp_kernel(history, 511.0 / 512)));
  EXPECT_EQ(interp_kernel(history, 511.0 / 512), interp_kernel(history, 7.5));
  EXPECT_EQ(interp_kernel(history, 0.0), interp_kernel(history, -3.0));
  EXPECT_EQ(interp_kernel(history, 0.0), interp_kernel(history, std::nan("")));
  EXPECT_GE(carry, 0.0);
  // Every pitch after every other, from the largest carry each can leave: no row outside the
  // table (the sanitizer build reads past it otherwise) and sensible carries.
  std::vector<std::int16_t> small(64);
  for (int before = -128; before < 128; before += 5) {
    for (int after = -128; after < 128; after += 3) {
      double c = std::nextafter(1.0 / step_for_pitch(before), 0.0);
      const UnpackedBlock b = test::random_block(rng, after);
      const std::size_t bytes = decode_block(small.data(), small.size(), b, c);
      ASSERT_EQ(bytes, 128u);
      ASSERT_TRUE(c >= 0.0 && c * step_for_pitch(after) <= 1.0) << before << " " << after;
    }
  }
}

TEST(Decoder, NeverWritesPastTheRoom) {
  std::mt19937 rng(11);
  for (int pitch : {127, 64, 33, 0, -8}) {
    const UnpackedBlock block = test::random_block(rng, pitch);
    double unlimited = 0.0;
    const auto whole = pitch <= 64 ? decode_all(block, unlimited) : std::vector<std::int16_t>{};
    for (std::size_t room : {0u, 1u, 100u, 14080u, 21120u}) {
      std::vector<std::int16_t> out(room + 16, 0x5555);
      double carry = 0.25;
      const std::size_t bytes = decode_block(out.data(), room, block, carry);
      const std::size_t expect = std::min(room, block_output_samples(block));
      EXPECT_EQ(bytes, 2 * expect) << "pitch " << pitch << " room " << room;
      for (std::size_t i = room; i < out.size(); ++i) ASSERT_EQ(out[i], 0x5555);
      if (room == 0) {
        EXPECT_EQ(carry, 0.25);
      }
      // Cut short, the block leaves the phase of its next output point.
      EXPECT_TRUE(carry >= 0.0 && carry * step_for_pitch(pitch) <= 1.0);
      if (!whole.empty() && room > 0 && expect < whole.size()) {
        double c = 0.25;
        std::vector<std::int16_t> again(whole.size());
        decode_block(again.data(), again.size(), block, c);
        EXPECT_TRUE(
            std::equal(out.begin(), out.begin() + static_cast<long>(expect), again.begin()));
      }
    }
  }
}

}  // namespace
}  // namespace brisca
