// The level of an imported sound: as is, peaking at full scale, brought to a loudness, or a fixed
// gain. Peaks and loudness are those of what the module plays (the decoder's output for the
// encoded blocks), so the sound is encoded, measured, and encoded again with the gain corrected
// until the measure holds.
#pragma once

#include <span>
#include <string>

#include "import/encoder.h"

namespace brisca {

enum class LevelMode { kAsIs, kPeak, kLoudness, kGain };

struct LevelChoice {
  LevelMode mode = LevelMode::kAsIs;
  double value = 0.0;  // the loudness in LUFS (kLoudness) or the gain in dB (kGain)
};

struct LeveledSound {
  EncodedSound sound;  // its snr_db is measured against the source after the gain
  double gain_db = 0.0;
  double loudness_lufs = 0.0;  // of `sound.decoded`; -infinity for silence
  double peak_dbfs = 0.0;      // of `sound.decoded`; -infinity for silence
  // kLoudness: the target would have clipped, so the gain stops short of it (at loudness_lufs).
  bool limited = false;
  bool clipped = false;  // a decoded sample reached full scale (only a fixed gain allows it)
};

// Encodes `source` (mono at the sound's rate, full scale 1.0) at the level chosen.
LeveledSound encode_leveled(std::span<const float> source, int pitch_byte,
                            const LevelChoice& level);

// "as is", "peak", "-16 LUFS" or "+3.0 dB".
std::string level_text(const LevelChoice& level);

}  // namespace brisca
