// Counting the blocks of a sound file the way the sound list shows them.
#pragma once

#include <optional>
#include <string>

#include "soundfile/track_reader.h"

namespace brisca {

struct BlockCount {
  int blocks = 0;           // what the list row shows
  bool has_header = false;  // a header block ended the count
  std::string name;         // header's name and type, when has_header
  std::string type;
};

// Reads events until the first header block: a System Exclusive message that is not a
// sound-dump block counts 1; data blocks count nothing; the header's total_blocks is the count.
// Only the header block is unpacked.
BlockCount count_blocks(TrackReader& track);

}  // namespace brisca
