// The sound-dump System Exclusive blocks: the test that recognises one, the block number, the
// 7-bit to 8-bit unpacking and the header block's fields.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace brisca {

inline constexpr std::size_t kUnpackedBlockSize = 1020;
inline constexpr std::size_t kPackedBlockSize = 1174;  // F0 .. F7 of a full block
inline constexpr std::size_t kPackedDataOffset = 7;
inline constexpr std::size_t kPackedDataBytes = 1166;  // bytes 7 to 1172: the 1020 bytes packed
inline constexpr std::uint32_t kNumberedLength = 7;    // F0 33 dd 05 type hi lo

using UnpackedBlock = std::array<std::uint8_t, kUnpackedBlockSize>;

// Message type (byte 4) when length >= 5 and bytes 0, 1, 3 are F0 33 .. 05; otherwise -1.
int block_message_type(const std::uint8_t* data, std::uint32_t length);
// A sound-dump block: message type 0 and long enough to hold its block number. Anything else,
// a 5- or 6-byte message with the head included, is a message that is not a sound-dump block.
bool is_sound_dump_block(const std::uint8_t* data, std::uint32_t length);
// (byte 5 << 7) | byte 6; take it before unpacking. Needs at least 7 bytes.
std::uint16_t block_number(const std::uint8_t* data);
// The same for a message of `length` bytes: a number byte the message does not have reads as 0.
std::uint16_t block_number(const std::uint8_t* data, std::uint32_t length);
// Writes `count` 8-bit bytes from the 7-bit bytes at `in` (may be in place: out <= in).
void unpack7to8(std::uint8_t* out, const std::uint8_t* in, std::size_t count);
// Unpacks the 1020 data bytes of a block of `length` bytes from bytes 7 to 1172. A block shorter
// than a full one is unpacked only from the bytes it has; the packed bytes it lacks read as zero.
// (In a 1173-byte block, as older writers made them, byte 1172 is the closing F7, so the last
// unpacked byte takes bits from it; nothing reads that byte.)
UnpackedBlock unpack_block(const std::uint8_t* data, std::uint32_t length);

int header_total_blocks(const UnpackedBlock& unpacked);
std::string header_name(const UnpackedBlock& unpacked);  // up to 32 bytes, ends at a zero byte
std::string header_type(const UnpackedBlock& unpacked);  // four characters, zeros dropped

}  // namespace brisca
