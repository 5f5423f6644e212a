// Whether a sound file is whole: its track reads to its declared end without being cut, and,
// when it has a header block, it holds at least as many sound-dump blocks as the header's
// total_blocks (which counts every block of the sound, the header included). The down-load
// refuses to call a file sent that fails this, and the overviews mark such files damaged.
#pragma once

#include <cstdint>
#include <string>

#include "soundfile/byte_stream.h"
#include "soundfile/midi_reader.h"
#include "soundfile/track_reader.h"

namespace brisca {

struct SoundCheck {
  std::int32_t error = 0;  // open_track's code when the file's headers are bad; else 0
  bool cut = false;        // the file ended inside an event or short of the declared track
  int header_total = -1;   // total_blocks of the first header block; -1 without one
  int blocks = 0;          // sound-dump blocks read, the header included

  bool complete() const {
    return error == 0 && !cut && (header_total < 0 || blocks >= header_total);
  }
  // What is wrong, to follow the file's name ("ends after 13 of 27 blocks"); empty when whole.
  std::string problem() const;

  // The incremental form, for a reader that goes through the track itself: each event read,
  // then the track once it has ended.
  void add(const MidiEvent& event);
  void add_message(const std::uint8_t* data, std::uint32_t length);
  void end_track(const TrackReader& track) { cut = cut || track.cut(); }
};

// Reads the whole file from its start.
SoundCheck check_sound(ByteStream& stream);
// Reads the rest of an opened track.
SoundCheck check_sound(TrackReader& track);

}  // namespace brisca
