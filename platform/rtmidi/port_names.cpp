#include "platform/rtmidi/port_names.h"

#include <cctype>
#include <charconv>

namespace brisca {

namespace {

bool all_digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// Position of the " client:port" suffix, or npos.
std::size_t address_suffix(std::string_view name) {
  const std::size_t space = name.rfind(' ');
  if (space == std::string_view::npos) return space;
  const std::string_view tail = name.substr(space + 1);
  const std::size_t colon = tail.find(':');
  if (colon == std::string_view::npos) return std::string_view::npos;
  if (!all_digits(tail.substr(0, colon)) || !all_digits(tail.substr(colon + 1)))
    return std::string_view::npos;
  return space;
}

}  // namespace

std::string cut_utf8(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return std::string(text);
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

std::string entry_text(MidiApi api, std::string_view system_name) {
  std::string_view name = system_name;
  std::string text;
  if (api == MidiApi::Alsa) {
    const std::size_t suffix = address_suffix(name);
    if (suffix != std::string_view::npos) name = name.substr(0, suffix);
    text = "ALSA: ";
  } else {
    text = "JACK: ";
  }
  text += name;
  return cut_utf8(text, kMaxEntryBytes);
}

std::optional<AlsaAddress> alsa_address(std::string_view system_name) {
  const std::size_t suffix = address_suffix(system_name);
  if (suffix == std::string_view::npos) return std::nullopt;
  const std::string_view tail = system_name.substr(suffix + 1);
  const std::size_t colon = tail.find(':');
  AlsaAddress address;
  const auto client = std::from_chars(tail.data(), tail.data() + colon, address.client);
  const auto port =
      std::from_chars(tail.data() + colon + 1, tail.data() + tail.size(), address.port);
  if (client.ec != std::errc() || port.ec != std::errc()) return std::nullopt;
  return address;
}

const PortRef* find_again(const std::vector<PortRef>& then, std::size_t wanted,
                          const std::vector<PortRef>& now) {
  if (wanted >= then.size()) return nullptr;
  const PortRef& port = then[wanted];
  std::size_t occurrence = 0;
  for (std::size_t i = 0; i < wanted; ++i)
    if (then[i].api == port.api && then[i].entry == port.entry) ++occurrence;
  for (const PortRef& candidate : now) {
    if (candidate.api != port.api || candidate.entry != port.entry) continue;
    if (occurrence == 0) return &candidate;
    --occurrence;
  }
  return nullptr;
}

}  // namespace brisca
