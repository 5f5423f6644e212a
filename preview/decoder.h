// The sample block decoder and resampler: one unpacked data block in, 44.1 kHz 16-bit
// samples out, with the resampling phase carried from block to block by the caller.
#pragma once

#include <cstddef>
#include <cstdint>

#include "soundfile/sound_block.h"

namespace brisca {

// Offsets into an unpacked data block.
inline constexpr std::size_t kSampleOffset = 6;  // 880 x int8
inline constexpr std::size_t kSamplesPerBlock = 880;
inline constexpr std::size_t kStartValuesOffset = 928;  // 6 x big-endian int16, oldest first
inline constexpr std::size_t kPitchOffset = 1016;       // int8 b: step = 2^(-b/8)
inline constexpr std::size_t kLevelOffset = 1017;       // int8 a: gain = 10^(-a/20)
inline constexpr std::size_t kFeedbackOffset = 1018;    // int8 f: coefficient = f/128
inline constexpr int kOutputRate = 44100;

// The three control values of a block, from its signed control bytes.
struct BlockControls {
  int pitch = 0, level = 0, feedback = 0;  // the bytes, -128..127
  double step = 1.0, gain = 1.0, coefficient = 0.0;
};
BlockControls block_controls(const UnpackedBlock& block);
// step = 2^(-b/8) and gain = 10^(-a/20) for a signed control byte. Each is computed once per
// process (std::exp2, std::pow) and then looked up, so every block of a run uses the same values.
double step_for_pitch(int pitch);
double gain_for_level(int level);

// Sum over k = 0..5 of kernel[row][k] x window[k], row = trunc(frac x 512), formed from k = 0
// upward. The row is kept in 0..511: frac of 1 or more uses row 511, a negative or NaN frac row 0.
double interp_kernel(const double* window, double frac);

// Decodes one block into output, writing at most room_samples samples, and returns the number of
// bytes written (twice the samples). phase_carry is read at entry and holds the leftover phase,
// in output-sample periods, at exit; it starts at 0.0 for each sound.
//
// Within the room and with phase_carry x step below 1 every sample is the one the block format
// defines, to the bit.
// Two bounds the block fields do not give:
//  - Room: a block yields about 880/step + 1 samples (up to ~50 million for pitch byte 127). When
//    the room runs out the block ends there: the samples not written and the input not yet taken
//    are dropped, and phase_carry is the phase of the next output point at the place it stopped
//    (frac / step, as at a normal end), so the following block starts where this one was cut.
//    With room_samples 0 nothing is written and phase_carry is left as it is.
//  - Row: phase_carry x step reaches 1 or more when the step grows from one block to the next
//    (and can reach exactly 1.0 through rounding even without that). The first output point then
//    uses row 511, the last phase before history value 3; all later points of the block use the
//    accumulator's fraction, which is always below 1.
std::size_t decode_block(std::int16_t* output, std::size_t room_samples, const UnpackedBlock& block,
                         double& phase_carry);

// The number of samples decode_block writes for this block with unlimited room (phase_carry does
// not change the count).
std::size_t block_output_samples(const UnpackedBlock& block);

}  // namespace brisca
