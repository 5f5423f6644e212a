#include "soundfile/sound_check.h"

#include <utility>

#include "soundfile/sound_block.h"

namespace brisca {

// A sound-dump block needs its two block-number bytes: a shorter message is not one.
void SoundCheck::add_message(const std::uint8_t* data, std::uint32_t length) {
  if (length < kPackedDataOffset || block_message_type(data, length) != 0) return;
  ++blocks;
  if (header_total >= 0 || block_number(data) != 0) return;
  header_total = header_total_blocks(unpack_block(data, length));
}

void SoundCheck::add(const MidiEvent& event) {
  if (event.is_sysex_with_data()) add_message(event.data.get(), event.length);
}

std::string SoundCheck::problem() const {
  if (error != 0) return file_error_text(error);
  const std::string count = std::to_string(blocks);
  if (header_total >= 0 && blocks < header_total)
    return "ends after " + count + " of " + std::to_string(header_total) + " blocks";
  if (cut && blocks == 0) return "is cut short";
  if (cut) return "is cut short after " + count + (blocks == 1 ? " block" : " blocks");
  return {};
}

SoundCheck check_sound(TrackReader& track) {
  SoundCheck check;
  if (!track.ok()) {
    check.error = track.open_result();
    return check;
  }
  MidiEvent event;
  while (track.next(event)) check.add(event);
  check.end_track(track);
  return check;
}

SoundCheck check_sound(ByteStream& stream) {
  TrackReader track(std::move(stream));
  return check_sound(track);
}

}  // namespace brisca
