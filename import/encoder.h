// The sound encoder: samples at the sound's own rate in, data blocks out, chosen against the
// decoder itself so that what the module plays is as close to the source as the format allows.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "soundfile/sound_block.h"

namespace brisca {

// How each block's level and feedback bytes are found. kBest is the encoder; the others are the
// simple encoders it is measured against.
enum class EncoderSearch {
  kBest,   // every feedback byte and level, searched by the error they yield
  kGrid,   // 9 feedback bytes x whole-dB levels, each tried
  kPlain,  // feedback 0, level from the block's peak
};

struct EncoderOptions {
  // Pitch byte b of every block: step 2^(-b/8), so the sound's rate is 44 100 x 2^(-b/8) Hz.
  int pitch_byte = 0;
  EncoderSearch search = EncoderSearch::kBest;
};

struct EncodedSound {
  std::vector<UnpackedBlock> blocks;  // data blocks 1..N in order, 1020 unpacked bytes each
  std::vector<std::int16_t> decoded;  // exactly what the decoder plays from them at 44.1 kHz,
                                      // sample for sample what `briscatool render` writes
  double snr_db = 0;                  // fidelity of `decoded` against the source, below
};

// source: mono samples at the sound's own rate, full scale = 1.0 (1.0 is 32768 in 16 bits);
// samples beyond +-2.0 count as +-2.0, and samples that are not numbers as 0.
// An empty source gives no blocks; otherwise there are ceil(samples / 880) blocks, the last one
// padded with silence. Output sample n of a pitch-0 sound is source sample n (no lag).
//
// snr_db = 10 log10(sum r^2 / sum (r - y)^2) over `decoded`, y the decoded samples and r what the
// decoder would play if its filter held the source exactly (neither clipped nor truncated). At
// pitch byte 0 r is the source itself, sample for sample (zeros after its end); at other pitch
// bytes r is the source carried to 44.1 kHz by the decoder's own resampler, so the figure
// measures what the encoding loses and not the module's resampling. +infinity when y equals r.
EncodedSound encode_sound(std::span<const float> source, const EncoderOptions& options = {});

}  // namespace brisca
