// What a sound's data blocks play as, and how close that is to the source.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "soundfile/sound_block.h"

namespace brisca {

// The samples preview and `briscatool render` make of these data blocks: each block decoded
// with the carried phase into the room the preview's buffer fills leave it.
std::vector<std::int16_t> decode_like_render(std::span<const UnpackedBlock> blocks);

// History values of one block: the six start values and the 880 filter values.
inline constexpr std::size_t kHistoryValues = 886;
// Fills block k's history values.
using HistoryOf = std::function<void(std::size_t k, double* history)>;

// 10 log10(sum r^2 / sum (r - y)^2) over `decoded`, y the decoded samples and r what the decoder
// would play from blocks whose history holds `history` exactly: each output the kernel sum at
// the decoder's own phases, neither clipped nor truncated, for `blocks` blocks of pitch byte
// `pitch_byte` in the same buffer fills as decode_like_render. +infinity when they are equal.
double ideal_snr_db(std::span<const std::int16_t> decoded, std::size_t blocks, int pitch_byte,
                    const HistoryOf& history);

}  // namespace brisca
