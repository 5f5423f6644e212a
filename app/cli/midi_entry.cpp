// Choosing a MIDI port by its entry text on the command line, and Ctrl-C counting.
#include <algorithm>
#include <cctype>
#include <ostream>

#include "app/cli/midi_commands.h"

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

int resolve_entry(const std::vector<std::string>& entries, const std::string& wanted,
                  int remembered, const std::string& option, std::ostream& err) {
  const int count = static_cast<int>(entries.size());
  if (wanted.empty()) {
    if (remembered > 0 && remembered < count) return remembered;
    if (count > 1) return 1;
    err << "briscatool: no MIDI port for --" << option << ": the system lists none\n";
    return 0;
  }
  const int number = as_number(wanted);
  if (number >= 1 && number < count) return number;
  for (int i = count - 1; i >= 1; --i)
    if (entries[static_cast<std::size_t>(i)] == wanted) return i;
  const int found = number < 0 ? containing(entries, wanted) : 0;
  if (found > 0) return found;
  err << "briscatool: --" << option << " \"" << wanted << "\" "
      << (found < 0 ? "matches several ports" : "names no port") << "; the ports are:\n";
  list_entries(entries, err);
  return 0;
}

InterruptGuard::InterruptGuard() = default;
InterruptGuard::~InterruptGuard() = default;

int InterruptGuard::count() {
  const int presses = EndSignals::interrupts();
  return EndSignals::terminated() ? std::max(presses, 2) : presses;
}

}  // namespace brisca::cli
