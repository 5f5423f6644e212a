// Walks the one track of a sound file: opens the file, checks its headers and hands out events
// while track bytes remain, counting the track length down by each event and closing the file
// as soon as the track is used up. Every caller (block counting, preview, down-load) reads
// tracks through it, so all of them end a track the same way: on the length running out, on the
// end of the file inside an event, or on a body longer than what is left.
#pragma once

#include <cstdint>
#include <string>

#include "soundfile/byte_stream.h"
#include "soundfile/midi_reader.h"

namespace brisca {

class TrackReader {
 public:
  // A reader at the track's first event. Fails with Io when the file cannot be opened, and with
  // open_track's BadFile error (the text the user is shown) when its headers are bad.
  static Result<TrackReader> open(const std::string& path);
  // The same over a stream already open.
  static Result<TrackReader> read(ByteStream stream);

  std::uint32_t remaining() const { return remaining_; }
  bool is_open() const { return stream_.is_open(); }
  // The file ended inside an event, or before the track length its header declares.
  bool cut() const { return cut_; }

  // Reads the next event into `event`; false when the track has ended (and the file is closed).
  // The event that uses up the rest of the track is still returned.
  bool next(MidiEvent& event);
  void close() {
    stream_.close();
    remaining_ = 0;
  }

 private:
  TrackReader(ByteStream stream, std::uint32_t length);

  ByteStream stream_;
  std::uint32_t remaining_ = 0;
  std::uint8_t running_status_ = kStartRunningStatus;  // this track's own; never shared
  bool cut_ = false;
};

}  // namespace brisca
