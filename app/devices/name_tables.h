// The device name tables: per direction "none" at entry 0 and up to 15 devices behind it. A
// device choice is an entry index everywhere: 0 is none, k is system device k - 1. The tables are
// filled once at start-up.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/api/devices.h"

namespace brisca {

inline constexpr int kMaxTableDevices = 15;
inline constexpr std::size_t kEntryBytes = 128;  // an entry holds at most 127 bytes of text
inline constexpr const char* kNoInDevice = "<no in device>";
inline constexpr const char* kNoOutDevice = "<no out device>";
inline constexpr const char* kNotUsedSuffix = " (not used)";
inline constexpr const char* kCompatibleSuffix = " (44.1 kHz, 16 bits, mono)";
inline constexpr const char* kIncompatibleSuffix = " (incompatible format)";

struct NameTable {
  std::vector<std::string> in{kNoInDevice};
  std::vector<std::string> out{kNoOutDevice};
  int in_count() const { return static_cast<int>(in.size()); }
  int out_count() const { return static_cast<int>(out.size()); }
};

// name + suffix in at most 127 bytes: a long name is cut (at a character boundary of its UTF-8)
// so the suffix always shows.
std::string table_entry(std::string_view name, std::string_view suffix);

NameTable fill_midi_table(MidiService& service);
NameTable fill_audio_table(AudioService& service);

// The index of the last entry whose text equals `text` byte for byte, or 0.
int find_entry(const std::vector<std::string>& entries, std::string_view text);

}  // namespace brisca
