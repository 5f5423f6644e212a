// Fuzzes audio input: the bytes are read as an audio file in memory the way an import reads a
// file (mixed to one channel, at most two seconds kept, the silent end trimmed), resampled to
// the top rate and to the lowest a sound may have, and the start of it encoded; the bytes are
// also taken as a name for the header.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "import/audio_input.h"
#include "import/encoder.h"
#include "import/resample.h"
#include "import/sound_shape.h"
#include "preview/decoder.h"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

void read_and_shape(const std::uint8_t* data, std::size_t size) {
  brisca::AudioLimits limits;
  limits.max_seconds = 2.0;
  limits.trim_threshold = brisca::kSilenceThreshold;
  const brisca::Result<brisca::AudioInput> read = brisca::read_audio_memory({data, size}, limits);
  if (!read) {
    check(!read.message().empty());
    return;
  }
  const brisca::AudioInput& in = *read;
  check(!in.samples.empty() && in.rate > 0 && in.channels > 0);
  check(in.samples.size() <= static_cast<std::size_t>(std::ceil(2.0 * in.rate)) + 16);
  for (float v : in.samples) check(std::isfinite(v));
  for (int pitch : {0, brisca::kMaxImportPitch}) {
    brisca::Result<std::vector<float>> resampled =
        brisca::resample(in.samples, in.rate, brisca::rate_for_pitch(pitch));
    if (!resampled || resampled->empty()) continue;
    std::vector<float> sound = std::move(*resampled);
    for (float v : sound) check(std::isfinite(v));
    sound.resize(brisca::trimmed_length(sound));
    check(!sound.empty());
    sound.resize(std::min<std::size_t>(sound.size(), 2 * brisca::kSamplesPerBlock + 1));
    const brisca::EncodedSound encoded = brisca::encode_sound(sound, {.pitch_byte = pitch});
    check(encoded.blocks.size() ==
          (sound.size() + brisca::kSamplesPerBlock - 1) / brisca::kSamplesPerBlock);
  }
}

void name_from(const std::uint8_t* data, std::size_t size) {
  const std::string name = brisca::header_name_from({reinterpret_cast<const char*>(data), size});
  check(name.size() <= brisca::kNameBytes);
  for (char c : name) check(c >= 0x20 && c <= 0x7E);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  read_and_shape(data, size);
  name_from(data, size);
  return 0;
}
