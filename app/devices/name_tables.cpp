#include "app/devices/name_tables.h"

#include <algorithm>

namespace brisca {
namespace {

// The first max_bytes bytes or fewer, never ending inside a UTF-8 character.
std::string_view cut_utf8(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  std::size_t end = max_bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

template <typename Device, typename Entry>
void append_devices(std::vector<std::string>& entries, const std::vector<Device>& devices,
                    Entry entry) {
  const std::size_t count = std::min(devices.size(), std::size_t{kMaxTableDevices});
  for (std::size_t i = 0; i < count; ++i) entries.push_back(entry(devices[i]));
}

}  // namespace

std::string table_entry(std::string_view name, std::string_view suffix) {
  const std::size_t room = kEntryBytes - 1;
  const std::string_view kept_suffix = cut_utf8(suffix, room);
  std::string entry(cut_utf8(name, room - kept_suffix.size()));
  entry += kept_suffix;
  return entry;
}

NameTable fill_midi_table(MidiService& service) {
  NameTable table;
  auto plain = [](const std::string& name) { return table_entry(name, ""); };
  append_devices(table.in, service.input_names(), plain);
  append_devices(table.out, service.output_names(), plain);
  return table;
}

NameTable fill_audio_table(AudioService& service) {
  NameTable table;
  append_devices(table.in, service.input_devices(),
                 [](const AudioDeviceInfo& d) { return table_entry(d.name, kNotUsedSuffix); });
  append_devices(table.out, service.output_devices(), [](const AudioDeviceInfo& d) {
    return table_entry(d.name, d.supports_44k_mono16 ? kCompatibleSuffix : kIncompatibleSuffix);
  });
  return table;
}

int find_entry(const std::vector<std::string>& entries, std::string_view text) {
  int found = 0;
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (entries[i] == text) found = static_cast<int>(i);
  return found;
}

}  // namespace brisca
