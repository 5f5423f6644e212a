// The 32-bit word attached to each row of the sound list.
#pragma once

#include <cstdint>

namespace brisca {

inline constexpr std::uint32_t ITEM_DIR_MASK = 0xFF;
inline constexpr std::uint32_t ITEM_SELECTED = 0x100;
inline constexpr std::uint32_t ITEM_SENDING = 0x200;
inline constexpr std::uint32_t ITEM_SENT = 0x400;
inline constexpr int ITEM_BLOCKS_SHIFT = 12;

// The block count, read with an arithmetic shift.
inline std::int32_t item_blocks(std::uint32_t word) {
  return static_cast<std::int32_t>(word) >> ITEM_BLOCKS_SHIFT;
}
inline int item_dir(std::uint32_t word) {
  return static_cast<int>(word & ITEM_DIR_MASK);
}

}  // namespace brisca
