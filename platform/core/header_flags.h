// Header flags are read and written from the caller's thread and a device thread; every access
// goes through these so the two never race.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/api/devices.h"

namespace brisca {

inline std::uint32_t load_flags(MidiHeader& header) {
  return std::atomic_ref<std::uint32_t>(header.flags).load(std::memory_order_acquire);
}
inline void set_flags(MidiHeader& header, std::uint32_t bits) {
  std::atomic_ref<std::uint32_t>(header.flags).fetch_or(bits, std::memory_order_acq_rel);
}
inline void clear_flags(MidiHeader& header, std::uint32_t bits) {
  std::atomic_ref<std::uint32_t>(header.flags).fetch_and(~bits, std::memory_order_acq_rel);
}

}  // namespace brisca
