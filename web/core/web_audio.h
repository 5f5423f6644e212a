// What the WebAssembly build adds to the import's reading of audio: samples the browser decoded,
// handed in channel by channel, mixed to one channel as a file's would be.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "import/audio_input.h"

namespace brisca {

// Frames mixed to one channel as they come (the mean of the channels), kept within the limits.
class MonoMix {
 public:
  MonoMix(double rate, int channels, const AudioLimits& limits);
  // One frame's sum over its channels; false once no more frames are taken (too long, or no
  // channels).
  bool add(double sum);
  Result<AudioInput> finish();

 private:
  AudioInput in_;
  std::optional<Error> error_;
  AudioLimits limits_;
  std::size_t limit_ = 0;
};

Result<AudioInput> audio_from_channels(const std::vector<std::vector<float>>& channels, double rate,
                                       const AudioLimits& limits = {});

}  // namespace brisca
