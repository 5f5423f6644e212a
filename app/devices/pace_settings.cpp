#include "app/devices/pace_settings.h"

namespace brisca {

std::string pace_value_name(const std::string& output_entry) {
  std::string name = "Pace/";
  for (char c : output_entry) {
    if (c == '%')
      name += "%25";
    else if (c == '/')
      name += "%2F";
    else if (c == '\\')
      name += "%5C";
    else
      name += c;
  }
  return name;
}

std::optional<Pace> remembered_pace(SettingsStore* store, const std::string& output_entry) {
  if (store == nullptr || output_entry.empty()) return std::nullopt;
  const std::optional<std::string> text = store->read(pace_value_name(output_entry));
  if (!text) return std::nullopt;
  return pace_from_setting(*text);
}

Pace pace_for_output(SettingsStore* store, const std::string& output_entry) {
  return remembered_pace(store, output_entry).value_or(Pace{});
}

Pace remembered_output_pace(SettingsStore* store) {
  if (store == nullptr) return Pace{};
  const std::optional<std::string> output = store->read(kMidiOutValue);
  return output ? pace_for_output(store, *output) : Pace{};
}

bool remember_pace(SettingsStore* store, const std::string& output_entry, const Pace& pace) {
  if (store == nullptr || output_entry.empty() || !pace_problem(pace).empty()) return false;
  return store->write(pace_value_name(output_entry), pace_to_setting(pace));
}

}  // namespace brisca
