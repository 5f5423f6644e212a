#include "soundfile/sound_block.h"

#include <algorithm>

namespace brisca {

int block_message_type(const std::uint8_t* data, std::uint32_t length) {
  if (data == nullptr || length < 5) return -1;
  if (data[0] != 0xF0 || data[1] != 0x33 || data[3] != 0x05) return -1;
  return data[4];
}

bool is_sound_dump_block(const std::uint8_t* data, std::uint32_t length) {
  return length >= kNumberedLength && block_message_type(data, length) == 0;
}

std::uint16_t block_number(const std::uint8_t* data) {
  return static_cast<std::uint16_t>((data[5] << 7) | data[6]);
}

std::uint16_t block_number(const std::uint8_t* data, std::uint32_t length) {
  std::uint8_t high = length > 5 ? data[5] : 0;
  std::uint8_t low = length > 6 ? data[6] : 0;
  return static_cast<std::uint16_t>((high << 7) | low);
}

void unpack7to8(std::uint8_t* out, const std::uint8_t* in, std::size_t count) {
  std::size_t i = 0;
  int k = 1;
  for (std::size_t n = 0; n < count; ++n) {
    out[n] = static_cast<std::uint8_t>((in[i] << k) | (in[i + 1] >> (7 - k)));
    if (k == 7) {
      i += 2;
      k = 1;
    } else {
      i += 1;
      k += 1;
    }
  }
}

UnpackedBlock unpack_block(const std::uint8_t* data, std::uint32_t length) {
  // The 1020 bytes are unpacked from bytes 7 to 1172 of the message. A shorter message gives
  // only the bytes it has; the missing packed bytes read as zero.
  std::array<std::uint8_t, kPackedDataBytes + 1> packed{};
  if (length > kPackedDataOffset) {
    std::size_t have = std::min<std::size_t>(length - kPackedDataOffset, kPackedDataBytes);
    std::copy_n(data + kPackedDataOffset, have, packed.begin());
  }
  UnpackedBlock out{};
  unpack7to8(out.data(), packed.data(), out.size());
  return out;
}

int header_total_blocks(const UnpackedBlock& unpacked) {
  return (unpacked[44] << 8) | unpacked[45];
}

namespace {
std::string text_field(const UnpackedBlock& unpacked, std::size_t offset, std::size_t size) {
  const char* begin = reinterpret_cast<const char*>(unpacked.data() + offset);
  const char* end = std::find(begin, begin + size, '\0');
  return std::string(begin, end);
}
}  // namespace

std::string header_name(const UnpackedBlock& unpacked) {
  return text_field(unpacked, 0, 32);
}
std::string header_type(const UnpackedBlock& unpacked) {
  return text_field(unpacked, 32, 4);
}

}  // namespace brisca
