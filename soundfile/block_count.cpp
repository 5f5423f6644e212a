#include "soundfile/block_count.h"

#include "soundfile/sound_block.h"

namespace brisca {

BlockCount count_blocks(TrackReader& track) {
  BlockCount result;
  MidiEvent event;
  while (track.next(event)) {
    if (!event.is_sysex_with_data()) continue;
    const std::uint8_t* data = event.data.get();
    if (!is_sound_dump_block(data, event.length)) {
      result.blocks += 1;
      continue;
    }
    // Data blocks are passed over without unpacking: only the header's fields are read.
    if (block_number(data) != 0) continue;
    UnpackedBlock header = unpack_block(data, event.length);
    result.blocks = header_total_blocks(header);
    result.has_header = true;
    result.name = header_name(header);
    result.type = header_type(header);
    track.close();
    break;
  }
  return result;
}

}  // namespace brisca
