// Feeds arbitrary bytes to the MIDI file reader as a sound file: header check, event walk, block
// counting and the whole-file check must end, stay in bounds and never allocate beyond the
// input's size.
#include <cstddef>
#include <cstdint>

#include "soundfile/block_count.h"
#include "soundfile/sound_block.h"
#include "soundfile/sound_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brisca;
  std::span<const std::uint8_t> bytes(data, size);
  Result<TrackReader> track = TrackReader::read(ByteStream::from_memory(bytes));
  if (!track) return 0;
  {
    MidiEvent event;
    std::size_t events = 0;
    while (track->next(event)) {
      if (++events > size) __builtin_trap();  // every event takes at least one byte
      if (!event.is_sysex_with_data()) continue;
      if (is_sound_dump_block(event.data.get(), event.length)) {
        UnpackedBlock u = unpack_block(event.data.get(), event.length);
        (void)header_total_blocks(u);
        (void)header_name(u);
      }
    }
  }
  Result<TrackReader> again = TrackReader::read(ByteStream::from_memory(bytes));
  (void)count_blocks(*again);
  ByteStream whole = ByteStream::from_memory(bytes);
  const Result<SoundCheck> check = check_sound(whole);
  if (const Status verdict = check->whole(); !verdict && verdict.message() == "is damaged")
    __builtin_trap();  // a fault the check cannot name
  return 0;
}
