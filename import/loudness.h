// Integrated loudness (EBU R128, with libebur128) of one channel of samples. A sound shorter than
// one 400 ms gating block would have no loudness under the gating rules; drum hits often are
// that short, so such a sound is measured over its whole length as one block.
#pragma once

#include <cstdint>
#include <span>

namespace brisca {

// Loudness in LUFS of mono samples at `rate` Hz, full scale 1.0; -infinity for silence (or when
// libebur128 cannot measure).
double loudness_lufs(std::span<const float> samples, double rate);
// The same for 16-bit samples at 44.1 kHz (full scale 32768): what the module plays.
double loudness_lufs(std::span<const std::int16_t> samples);

}  // namespace brisca
