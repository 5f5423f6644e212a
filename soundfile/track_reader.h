// Walks the one track of a sound file: opens the file, checks its headers and hands out events
// while track bytes remain, counting the track length down by each event and closing the file
// as soon as the track is used up. Every caller (block counting, preview, down-load) reads
// tracks through it, so all of them end a track the same way: on the length running out, on the
// end of the file inside an event, or on a body longer than what is left.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "soundfile/byte_stream.h"
#include "soundfile/midi_reader.h"

namespace brisca {

class TrackReader {
 public:
  // Nothing when the file cannot be opened; otherwise a reader whose open_result() is the track
  // length or an error code (check with is_reader_error; the file is then already closed).
  static std::optional<TrackReader> open(const std::string& path);
  explicit TrackReader(ByteStream stream);

  std::int32_t open_result() const { return open_result_; }
  bool ok() const { return !is_reader_error(open_result_); }
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
  ByteStream stream_;
  std::int32_t open_result_ = BAD_MIDI_FILE;
  std::uint32_t remaining_ = 0;
  std::uint8_t running_status_ = kStartRunningStatus;  // this track's own; never shared
  bool cut_ = false;
};

}  // namespace brisca
