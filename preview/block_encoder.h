// The inverse of the decoder, for making sound files: turns 44.1 kHz samples into data blocks of
// pitch byte 0 (one input sample per output sample, 880 per block) that the decoder plays back as
// those samples, within the 8-bit resolution each block's level byte allows.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "soundfile/sound_block.h"
#include "soundfile/sound_writer.h"

namespace brisca {

struct EncodedBlockInfo {
  int level = 0;     // level byte chosen
  int feedback = 0;  // feedback byte chosen
  double rms_error = 0.0;
};

// Encodes closed-loop against the decoder's one-pole filter: each sample byte is chosen from the
// history the decoder itself will have rebuilt, so errors do not pile up. Each block's six start
// values carry on the previous block's filter history, so the output runs on across blocks
// without a step. Per block the level and feedback bytes are the pair, out of a small set, with
// the least error. The last block is padded with silence.
std::vector<UnpackedBlock> encode_samples(std::span<const std::int16_t> samples,
                                          std::vector<EncodedBlockInfo>* info = nullptr);

// A whole sound file: a header block (name, type, total_blocks = all blocks of the file, header
// included) and then the data blocks numbered from 1.
Bytes make_sound_file(std::string_view name, std::string_view type,
                      std::span<const std::int16_t> samples);

}  // namespace brisca
