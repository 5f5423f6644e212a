// Audio files in: every format libsndfile reads, at any rate and with any number of channels,
// mixed down to one channel of floats (full scale 1.0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/result.h"

namespace brisca {

struct AudioLimits {
  // Seconds of the file that may be kept (0: all). With a trim threshold, frames past the limit
  // are read on but not kept: if none of them reaches the threshold, the part kept already holds
  // everything the trimmed sound will, so the file is not refused; otherwise it is too long.
  double max_seconds = 0.0;
  float trim_threshold = 0.0f;  // 0: no trimming, every frame past the limit counts
};

struct AudioInput {
  std::vector<float> samples;  // mono: the mean of the channels, within -4 .. 4
  double rate = 0.0;
  int channels = 0;
  std::string format;  // libsndfile's name of the container and encoding
};

// The audio, or why it cannot be read: TooLong past the limits, BadFile otherwise.
Result<AudioInput> read_audio_file(const std::string& path, const AudioLimits& limits = {});
Result<AudioInput> read_audio_memory(std::span<const std::uint8_t> bytes,
                                     const AudioLimits& limits = {});

// File name patterns ("*.wav", ...) of the formats libsndfile reads, for Open dialogs.
std::vector<std::string> audio_file_patterns();

// True when libsndfile recognises the file as audio (it is opened and closed again at once).
bool is_audio_file(const std::string& path);

}  // namespace brisca
