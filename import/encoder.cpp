#include "import/encoder.h"

#include <algorithm>
#include <cmath>

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

struct Layout {
  std::vector<double> x;      // source x 32768 at each history position (0 outside the source)
  std::vector<double> ideal;  // the filter value that plays x: x / w
  double w = 1.0;
  bool truncating = false;
};

Layout lay_out(std::span<const float> source, std::size_t blocks, int pitch_byte) {
  Layout l;
  l.w = kernel_doubles()[2];
  l.truncating = pitch_byte == 0;
  const std::size_t positions = blocks * kSamplesPerBlock + kStartValues;
  l.x.assign(positions, 0.0);
  l.ideal.assign(positions, 0.0);
  for (std::size_t n = 0; n < source.size(); ++n) {
    l.x[n + kLag] = source[n] * 32768.0;
    l.ideal[n + kLag] = l.x[n + kLag] / l.w;
  }
  return l;
}

// The value the filter should aim at for position p. A truncating decoder plays trunc(w x y), so
// aiming half a step away from zero makes it play the nearest whole sample.
double aim(const Layout& l, std::size_t p) {
  const double x = l.x[p];
  if (!l.truncating || x == 0.0) return l.ideal[p];
  return (x + (x > 0.0 ? 0.5 : -0.5)) / l.w;
}

std::int16_t start_value(const Layout& l, std::size_t p) {
  const double v = std::clamp(std::round(aim(l, p)), -32768.0, 32767.0);
  return static_cast<std::int16_t>(v);
}

void put_block(const BlockChoice& c, const std::int16_t* start, int pitch_byte, UnpackedBlock& b) {
  b.fill(0);
  for (std::size_t j = 0; j < kSamplesPerBlock; ++j)
    b[kSampleOffset + j] = static_cast<std::uint8_t>(c.bytes[j]);
  for (std::size_t i = 0; i < kStartValues; ++i) {
    const auto word = static_cast<std::uint16_t>(start[i]);
    b[kStartValuesOffset + 2 * i] = static_cast<std::uint8_t>(word >> 8);
    b[kStartValuesOffset + 2 * i + 1] = static_cast<std::uint8_t>(word & 0xFF);
  }
  b[kPitchOffset] = static_cast<std::uint8_t>(static_cast<std::int8_t>(pitch_byte));
  b[kLevelOffset] = static_cast<std::uint8_t>(static_cast<std::int8_t>(c.level));
  b[kFeedbackOffset] = static_cast<std::uint8_t>(static_cast<std::int8_t>(c.feedback));
}

}  // namespace

EncodedSound encode_sound(std::span<const float> source, const EncoderOptions& options) {
  EncodedSound sound;
  if (source.empty()) return sound;
  const int pitch = std::clamp(options.pitch_byte, -128, 127);
  const std::size_t blocks = (source.size() + kSamplesPerBlock - 1) / kSamplesPerBlock;
  const Layout l = lay_out(source, blocks, pitch);
  sound.blocks.resize(blocks);
  BlockProblem p;
  p.w = l.w;
  p.truncating = l.truncating;
  // A pitch-0 block plays history positions 2..881: its last four filter values are not heard
  // (the next block plays those positions from its own start values).
  p.scored = pitch == 0 ? kSamplesPerBlock - 4 : kSamplesPerBlock;
  for (std::size_t k = 0; k < blocks; ++k) {
    const std::size_t base = k * kSamplesPerBlock;
    // The start values are the wanted history itself, to 16 bits: the block begins where the
    // source is, whatever the previous block's filter made of it.
    std::int16_t start[kStartValues];
    for (std::size_t i = 0; i < kStartValues; ++i) start[i] = start_value(l, base + i);
    p.start = start[kStartValues - 1];
    for (std::size_t j = 0; j < kSamplesPerBlock; ++j) {
      p.want[j] = aim(l, base + kStartValues + j);
      p.x[j] = l.x[base + kStartValues + j];
    }
    const BlockChoice c = choose_block(p, options.search);
    put_block(c, start, pitch, sound.blocks[k]);
  }
  sound.decoded = decode_like_render(sound.blocks);
  const std::vector<double> reference = ideal_output(l.ideal, blocks, pitch);
  sound.snr_db = snr_db(reference, sound.decoded);
  return sound;
}

}  // namespace brisca
