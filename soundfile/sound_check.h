// Whether a sound file is whole. The one test every part uses (down-load, the overviews and
// their damaged mark, `briscatool info`, received sounds): the track reads to its declared end
// without being cut, and, once it holds any sound-dump block, it holds exactly one header block
// and each data block number from 1 to the header's total_blocks - 1 (total_blocks counts every
// block of the sound, the header included) exactly once, and no other sound-dump block. Blocks
// may stand in any order; messages that are not sound-dump blocks are passed over. A file
// without a single sound-dump block is no sound: only the cut test applies to it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "soundfile/byte_stream.h"
#include "soundfile/midi_reader.h"
#include "soundfile/track_reader.h"

namespace brisca {

struct SoundCheck {
  bool cut = false;        // the file ended inside an event or short of the declared track
  int header_total = -1;   // total_blocks of the first header block; -1 without one
  int headers = 0;         // header blocks read
  int blocks = 0;          // sound-dump blocks read, the headers included
  int distinct = 0;        // data block numbers read, each counted once
  int highest = 0;         // the highest data block number read; 0 for none
  int repeated = 0;        // the first data block number read a second time; 0 for none
  std::vector<bool> seen;  // by data block number

  bool complete() const;
  // The data block numbers from 1 to header_total - 1 that are not there: their count and as
  // text ("3, 7-9"). Nothing without a header.
  int missing_count() const;
  std::string missing() const;
  // Whole, or Damaged with what is wrong, to follow the file's name ("ends after 13 of 27
  // blocks").
  Status whole() const;

  // The incremental form, for a reader that goes through the track itself: each event read,
  // then the track once it has ended.
  void add(const MidiEvent& event);
  void add_message(const std::uint8_t* data, std::uint32_t length);
  void end_track(const TrackReader& track) { cut = cut || track.cut(); }

 private:
  std::string block_problem() const;
  std::string damage() const;
};

// Reads the whole file from its start; fails when its headers are bad (open_track's error).
Result<SoundCheck> check_sound(ByteStream& stream);
// Reads the rest of an opened track.
SoundCheck check_sound(TrackReader& track);

}  // namespace brisca
