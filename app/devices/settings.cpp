#include "app/devices/settings.h"

namespace brisca {
namespace {

struct Slot {
  const char* value;
  bool write;
  bool input;
  bool audio;
};

std::optional<Slot> slot_of(int operation) {
  switch (operation) {
    case kReadMidiIn:
      return Slot{kMidiInValue, false, true, false};
    case kReadMidiOut:
      return Slot{kMidiOutValue, false, false, false};
    case kWriteMidiIn:
      return Slot{kMidiInValue, true, true, false};
    case kWriteMidiOut:
      return Slot{kMidiOutValue, true, false, false};
    case kReadAudioIn:
      return Slot{kAudioInValue, false, true, true};
    case kReadAudioOut:
      return Slot{kAudioOutValue, false, false, true};
    case kWriteAudioIn:
      return Slot{kAudioInValue, true, true, true};
    case kWriteAudioOut:
      return Slot{kAudioOutValue, true, false, true};
    default:
      return std::nullopt;
  }
}

}  // namespace

int settings_operation(int operation, int index, SettingsStore* store, const NameTable& midi,
                       const NameTable& audio) {
  const std::optional<Slot> slot = slot_of(operation);
  if (!slot || store == nullptr) return 0;
  const NameTable& table = slot->audio ? audio : midi;
  const std::vector<std::string>& entries = slot->input ? table.in : table.out;
  if (slot->write) {
    if (index >= 0 && static_cast<std::size_t>(index) < entries.size())
      store->write(slot->value, entries[static_cast<std::size_t>(index)]);
    return 0;
  }
  const std::optional<std::string> text = store->read(slot->value);
  if (!text || text->size() >= kEntryBytes) return 0;
  return find_entry(entries, *text);
}

}  // namespace brisca
