#include "preview/block_source.h"

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

#include "preview/decoder.h"
#include "soundfile/sound_block.h"

namespace brisca {
namespace {
constexpr std::size_t kMaxRoomBytes = INT_MAX - 1;
}  // namespace

BlockSource::BlockSource(TrackReader track) : track_(std::move(track)) {}

int BlockSource::fill(std::int16_t* buffer, std::size_t room_bytes) {
  room_bytes = std::min(room_bytes, kMaxRoomBytes) & ~std::size_t{1};
  std::size_t filled = 0;
  while (filled <= kFillThresholdBytes && room_bytes - filled >= 2 && track_.next(event_)) {
    if (!event_.is_sysex_with_data()) continue;
    const std::uint8_t* data = event_.data.get();
    const std::uint32_t length = event_.length;
    if (!is_sound_dump_block(data, length)) {
      ++foreign_messages_;
      break;
    }
    if (block_number(data) == 0) continue;
    const UnpackedBlock block = unpack_block(data, length);
    filled += decode_block(buffer + filled / 2, (room_bytes - filled) / 2, block, phase_carry_);
  }
  event_.data.reset();
  return static_cast<int>(filled);
}

std::size_t play_out(BlockSource& source, const BufferSink& play) {
  std::vector<std::int16_t> buffer(kPreviewBufferBytes / 2);
  std::size_t total = 0;
  int playing = 0;
  auto refill = [&] {
    const int bytes = source.fill(buffer.data(), kPreviewBufferBytes);
    if (bytes <= 0) return;
    const std::size_t samples = static_cast<std::size_t>(bytes) / 2;
    play(buffer.data(), samples);
    total += samples;
    ++playing;
  };
  refill();
  refill();
  while (playing > 0) {
    --playing;  // a buffer finished
    refill();
  }
  return total;
}

}  // namespace brisca
