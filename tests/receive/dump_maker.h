// Sound dumps for the receiving tests: the messages of a sound as a module sends them, and the
// messages of a written sound file read back.
#pragma once

#include <string>
#include <vector>

#include "soundfile/sound_writer.h"
#include "soundfile/track_reader.h"

namespace brisca::test {

// A header block announcing `total` blocks and data blocks 1 .. total - 1, each different.
inline std::vector<Bytes> dump_messages(const std::string& name, int total,
                                        std::uint8_t device = 0) {
  std::vector<Bytes> messages{make_header_block(name, "DRUM", total, device)};
  for (int b = 1; b < total; ++b) {
    UnpackedBlock data{};
    for (std::size_t k = 0; k < data.size(); ++k)
      data[k] = static_cast<std::uint8_t>(k * 13 + static_cast<std::size_t>(b) * 7 + name.size());
    messages.push_back(make_block(static_cast<std::uint16_t>(b), data, device));
  }
  return messages;
}

inline Bytes joined(const std::vector<Bytes>& messages) {
  Bytes all;
  for (const Bytes& m : messages) all.insert(all.end(), m.begin(), m.end());
  return all;
}

// The System Exclusive messages of a file, F0 to F7; empty when it is no format-0 MIDI file.
inline std::vector<Bytes> file_messages(const std::string& path) {
  std::vector<Bytes> messages;
  auto track = TrackReader::open(path);
  if (!track) return messages;
  MidiEvent event;
  while (track->next(event))
    if (event.is_sysex_with_data())
      messages.emplace_back(event.data.get(), event.data.get() + event.length);
  return messages;
}

}  // namespace brisca::test
