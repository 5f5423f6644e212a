// Facts about MIDI bytes shared by the inputs and outputs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brisca::midi {

inline constexpr std::uint8_t kSysexStart = 0xF0;
inline constexpr std::uint8_t kSysexEnd = 0xF7;

inline constexpr bool is_status(std::uint8_t byte) {
  return byte >= 0x80;
}
inline constexpr bool is_real_time(std::uint8_t byte) {
  return byte >= 0xF8;
}

// Length in bytes, status included, of the short message a status byte begins; 0 for bytes that
// begin no short message (data bytes, 0xF0, 0xF7).
constexpr std::size_t short_length(std::uint8_t status) {
  if (status < 0x80) return 0;
  if (status < 0xF0) return (status & 0xE0) == 0xC0 ? 2 : 3;  // 0xCn, 0xDn take one data byte
  switch (status) {
    case 0xF0:
    case 0xF7:
      return 0;
    case 0xF1:
    case 0xF3:
      return 2;
    case 0xF2:
      return 3;
    default:
      return 1;  // 0xF4..0xF6 and real time
  }
}

// Status in the low byte, then the data bytes.
constexpr std::uint32_t pack(const std::uint8_t* bytes, std::size_t n) {
  std::uint32_t packed = 0;
  for (std::size_t i = 0; i < n && i < 3; ++i) packed |= std::uint32_t{bytes[i]} << (8 * i);
  return packed;
}

}  // namespace brisca::midi
