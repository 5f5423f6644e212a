// The four remembered device choices. Each is stored as the full entry text of the chosen entry
// (suffix included) and found again by comparing that text with the entries of the current
// table, so a device that was renamed or is gone reads as none.
#pragma once

#include <optional>
#include <string>

#include "app/devices/name_tables.h"

namespace brisca {

// The per-user store of named text values.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // Nothing when the store or the value cannot be read.
  virtual std::optional<std::string> read(const std::string& name) = 0;
  // False when the value could not be stored.
  virtual bool write(const std::string& name, const std::string& text) = 0;
  // Why the last write that failed did, for a message; empty when the store cannot tell.
  virtual std::string write_problem() const { return {}; }
};

inline constexpr const char* kMidiInValue = "MIDIin";
inline constexpr const char* kMidiOutValue = "MIDIout";
inline constexpr const char* kAudioInValue = "AudioIn";
inline constexpr const char* kAudioOutValue = "AudioOut";

// Operation numbers of settings_operation.
enum SettingsOperation : int {
  kReadMidiIn = 1,
  kReadMidiOut = 2,
  kWriteMidiIn = 3,
  kWriteMidiOut = 4,
  kReadAudioIn = 5,
  kReadAudioOut = 6,
  kWriteAudioIn = 7,
  kWriteAudioOut = 8,
};

// Reads (1, 2, 5, 6) give the index of the last entry of that side whose text equals the stored
// value byte for byte, or 0: also when the store cannot be read or the value is longer than an
// entry can be. Writes (3, 4, 7, 8) store the text of entry `index` of that side and give 0; a
// store that cannot be written, or an index outside the table, writes nothing. A null store
// reads as none and writes nothing.
int settings_operation(int operation, int index, SettingsStore* store, const NameTable& midi,
                       const NameTable& audio);

}  // namespace brisca
