// The preamble of the MIDI commands: the MIDI service and store they run on, choosing a port
// by its entry text, and Ctrl-C counting.
#include <algorithm>
#include <cctype>
#include <ostream>

#include "app/cli/midi_commands.h"
#include "app/devices/name_tables.h"
#include "app/devices/qt_settings_store.h"
#include "app/devices/services.h"

namespace brisca::cli {
namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

int as_number(const std::string& text) {
  if (text.empty() || text.size() > 4) return -1;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
  return std::stoi(text);
}

void list_entries(const std::vector<std::string>& entries, std::ostream& err) {
  if (entries.size() <= 1) err << "  (none)\n";
  for (std::size_t i = 1; i < entries.size(); ++i) err << "  " << i << "  " << entries[i] << '\n';
}

// The one device entry containing `wanted`, case-insensitively; 0 for none, -1 for several.
int containing(const std::vector<std::string>& entries, const std::string& wanted) {
  int found = 0;
  for (std::size_t i = 1; i < entries.size(); ++i) {
    if (lower(entries[i]).find(lower(wanted)) == std::string::npos) continue;
    if (found != 0) return -1;
    found = static_cast<int>(i);
  }
  return found;
}

}  // namespace

int find_entry(const std::vector<std::string>& entries, const std::string& wanted) {
  const int count = static_cast<int>(entries.size());
  const int number = as_number(wanted);
  if (number >= 1 && number < count) return number;
  for (int i = count - 1; i >= 1; --i)
    if (entries[static_cast<std::size_t>(i)] == wanted) return i;
  return number < 0 ? containing(entries, wanted) : 0;
}

int resolve_entry(const std::vector<std::string>& entries, const std::string& wanted,
                  int remembered, const std::string& option, std::ostream& err) {
  const int count = static_cast<int>(entries.size());
  if (wanted.empty()) {
    if (remembered > 0 && remembered < count) return remembered;
    if (count > 1) return 1;
    err << "briscatool: no MIDI port for --" << option << ": the system lists none\n";
    return 0;
  }
  const int found = find_entry(entries, wanted);
  if (found > 0) return found;
  err << "briscatool: --" << option << " \"" << wanted << "\" "
      << (found < 0 ? "matches several ports" : "names no port") << "; the ports are:\n";
  list_entries(entries, err);
  return 0;
}

ChosenPort choose_port(MidiService& service, SettingsStore* store, PortSide side,
                       const std::string& wanted, std::ostream& err) {
  const NameTable table = fill_midi_table(service);
  const bool in = side == PortSide::In;
  const std::vector<std::string>& entries = in ? table.in : table.out;
  const int remembered =
      settings_operation(in ? kReadMidiIn : kReadMidiOut, 0, store, table, NameTable{});
  ChosenPort port;
  port.choice = resolve_entry(entries, wanted, remembered, in ? "midi-in" : "midi-out", err);
  if (port.choice > 0) port.entry = entries[static_cast<std::size_t>(port.choice)];
  return port;
}

int with_midi_service(const std::function<int(MidiService&, SettingsStore*)>& work) {
  auto service = make_midi_service();
  QtSettingsStore store;
  return work(*service, &store);
}

InterruptGuard::InterruptGuard() = default;
InterruptGuard::~InterruptGuard() = default;

int InterruptGuard::count() {
  const int presses = EndSignals::interrupts();
  return EndSignals::terminated() ? std::max(presses, 2) : presses;
}

}  // namespace brisca::cli
