#include "soundfile/sound_check.h"

#include <utility>

#include "soundfile/missing_blocks.h"
#include "soundfile/sound_block.h"

namespace brisca {

void SoundCheck::add_message(const std::uint8_t* data, std::uint32_t length) {
  if (!is_sound_dump_block(data, length)) return;
  ++blocks;
  const int number = block_number(data);
  if (number == 0) {
    if (headers++ == 0) header_total = header_total_blocks(unpack_block(data, length));
    return;
  }
  const auto at = static_cast<std::size_t>(number);
  if (seen.size() <= at) seen.resize(at + 1, false);
  if (seen[at]) {
    if (repeated == 0) repeated = number;
    return;
  }
  seen[at] = true;
  ++distinct;
  if (number > highest) highest = number;
}

void SoundCheck::add(const MidiEvent& event) {
  if (event.is_sysex_with_data()) add_message(event.data.get(), event.length);
}

bool SoundCheck::complete() const {
  if (cut) return false;
  if (blocks == 0) return true;  // no sound: nothing of one can be missing
  return headers == 1 && repeated == 0 && highest < header_total && distinct == header_total - 1;
}

int SoundCheck::missing_count() const {
  int count = 0;
  for (int n = 1; n < header_total; ++n)
    count += static_cast<std::size_t>(n) < seen.size() && seen[static_cast<std::size_t>(n)] ? 0 : 1;
  return count;
}

std::string SoundCheck::missing() const {
  if (header_total <= 1) return {};
  return missing_blocks(seen, 1, static_cast<std::size_t>(header_total));
}

// What is wrong with the blocks of a file that holds any; empty when they make a whole sound.
std::string SoundCheck::block_problem() const {
  if (headers == 0) return "has no header block";
  if (headers > 1) return "holds " + std::to_string(headers) + " header blocks";
  const std::string total = std::to_string(header_total);
  if (header_total < 1) return "its header gives " + total + " blocks";
  if (repeated != 0) return "holds block " + std::to_string(repeated) + " twice";
  if (highest >= header_total)
    return "holds block " + std::to_string(highest) + ", beyond its " + total + " blocks";
  const int lacking = missing_count();
  if (lacking == 0) return {};
  // Only the end missing: the file breaks off there.
  if (highest == distinct)
    return "ends after " + std::to_string(blocks) + " of " + total + " blocks";
  return (lacking == 1 ? "lacks block " : "lacks blocks ") + missing() + " of " + total;
}

Status SoundCheck::whole() const {
  if (complete()) return {};
  return make_error(ErrorCode::Damaged, damage());
}

// What complete() found wrong.
std::string SoundCheck::damage() const {
  if (blocks > 0) {
    if (std::string text = block_problem(); !text.empty()) return text;
  }
  const std::string count = std::to_string(blocks);
  if (cut && blocks == 0) return "is cut short";
  if (cut) return "is cut short after " + count + (blocks == 1 ? " block" : " blocks");
  return "is damaged";
}

SoundCheck check_sound(TrackReader& track) {
  SoundCheck check;
  MidiEvent event;
  while (track.next(event)) check.add(event);
  check.end_track(track);
  return check;
}

Result<SoundCheck> check_sound(ByteStream& stream) {
  Result<TrackReader> track = TrackReader::read(std::move(stream));
  if (!track) return track.error();
  return check_sound(*track);
}

}  // namespace brisca
