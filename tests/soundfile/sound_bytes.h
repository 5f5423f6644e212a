// Small builders of MIDI file bytes for the reader tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "soundfile/byte_stream.h"
#include "soundfile/sound_writer.h"
#include "soundfile/track_reader.h"

namespace brisca::test {

// MThd (format 0) + MTrk of the given body; `declared` overrides the track length.
inline Bytes smf_with_track(const Bytes& body, long declared = -1, std::uint16_t format = 0) {
  Bytes f{'M', 'T', 'h', 'd', 0,   0,   0,   6,  0, static_cast<std::uint8_t>(format),
          0,   1,   0,   96,  'M', 'T', 'r', 'k'};
  auto len = static_cast<std::uint32_t>(declared < 0 ? body.size() : declared);
  for (int s = 24; s >= 0; s -= 8) f.push_back(static_cast<std::uint8_t>(len >> s));
  f.insert(f.end(), body.begin(), body.end());
  return f;
}

inline Bytes data_block(std::uint16_t number, std::uint8_t fill = 0) {
  UnpackedBlock u{};
  u.fill(fill);
  return make_block(number, u);
}

inline ByteStream stream_of(const Bytes& b) {
  return ByteStream::from_memory(b);
}

// The track of a file whose headers are good (a test of one whose headers are bad throws).
inline TrackReader track_of(const Bytes& b) {
  Result<TrackReader> track = TrackReader::read(stream_of(b));
  return std::move(track.value());
}

}  // namespace brisca::test
