// Fuzzes preview decoding: the input is a sound file in memory, read and played out the way
// preview playback and render do; when it is long enough, its bytes are also decoded directly as
// one unpacked block with a room and a carried phase taken from the bytes after it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "preview/block_source.h"
#include "preview/decoder.h"
#include "preview/kernel.h"
#include "soundfile/byte_stream.h"
#include "soundfile/track_reader.h"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

void play_file(const std::uint8_t* data, std::size_t size) {
  auto track = brisca::TrackReader::read(brisca::ByteStream::from_memory({data, size}));
  if (!track) return;
  brisca::BlockSource source(std::move(*track));
  std::uint32_t mix = 0;
  brisca::play_out(source, [&](const std::int16_t* samples, std::size_t count) {
    check(count > 0 && count <= brisca::kPreviewBufferBytes / 2);
    for (std::size_t i = 0; i < count; ++i) {
      check(samples[i] != -32768);
      mix += static_cast<std::uint16_t>(samples[i]);
    }
  });
  // Playback ends before the track does only after fills that foreign messages ended empty.
  check(source.finished() || source.foreign_messages() >= 2);
  check(source.phase_carry() >= 0.0);
  asm volatile("" : : "r"(mix));
}

void decode_raw(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kExtra = 2 + sizeof(double);
  if (size < brisca::kUnpackedBlockSize + kExtra) return;
  brisca::UnpackedBlock block;
  std::memcpy(block.data(), data, block.size());
  const std::uint8_t* tail = data + block.size();
  const std::size_t room = (std::size_t{tail[0]} << 8) | tail[1];
  double carry;
  std::memcpy(&carry, tail + 2, sizeof carry);
  const double carry_before = carry;
  std::vector<std::int16_t> out(room);
  const std::size_t bytes = brisca::decode_block(out.data(), room, block, carry);
  check(bytes % 2 == 0 && bytes <= 2 * room);
  if (room == 0) check(std::memcmp(&carry, &carry_before, sizeof carry) == 0);
  if (room > 0) check(carry >= 0.0 && carry * brisca::block_controls(block).step <= 1.0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  brisca::build_kernel();
  play_file(data, size);
  decode_raw(data, size);
  return 0;
}
