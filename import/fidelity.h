// What a sound's data blocks play as, and how close that is to the source.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "soundfile/sound_block.h"

namespace brisca {

// The samples preview and `briscatool render` make of these data blocks: each block decoded
// with the carried phase into the room the preview's buffer fills leave it.
std::vector<std::int16_t> decode_like_render(std::span<const UnpackedBlock> blocks);

// What the decoder would play if its filter held the wanted values exactly: block k's history
// position h is ideal[k x 880 + h] (positions 0..5 the start values), and each output is the
// kernel sum at the decoder's own phases, neither clipped nor truncated. Blocks of pitch byte
// `pitch_byte`, as many as `blocks`, in the same buffer fills as decode_like_render.
std::vector<double> ideal_output(std::span<const double> ideal, std::size_t blocks, int pitch_byte);

// 10 log10(sum r^2 / sum (r - y)^2) over the shorter of the two; +infinity when they are equal.
double snr_db(std::span<const double> reference, std::span<const std::int16_t> decoded);

}  // namespace brisca
