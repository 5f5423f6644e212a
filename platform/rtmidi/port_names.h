// How system MIDI ports become entry texts, and back.
//
// Every entry begins with its API: "ALSA: " or "JACK: ". The texts are saved in the settings and
// compared byte for byte at the next start, so an entry must not depend on which other servers
// happen to be running, which is why the prefix is always there rather than only when two APIs
// show devices. ALSA sequencer names lose the client:port numbers the library appends ("Synth:Synth
// MIDI 1 24:0" is listed as "ALSA: Synth:Synth MIDI 1"), as those numbers change from run to run
// and when a device is plugged in again. JACK port names ("client:port") are kept whole. An entry
// is at most kMaxEntryBytes bytes, cut at a character boundary.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisca {

enum class MidiApi { Alsa, Jack };

inline constexpr std::size_t kMaxEntryBytes = 127;

// One port as listed: its entry text, the system's name for it, and its index in the library's
// own listing (ALSA only).
struct PortRef {
  MidiApi api = MidiApi::Alsa;
  std::string entry;
  std::string system_name;
  unsigned index = 0;
};

std::string entry_text(MidiApi api, std::string_view system_name);

struct AlsaAddress {
  int client = 0;
  int port = 0;
};
// The "client:port" numbers at the end of an ALSA port name as the library lists it.
std::optional<AlsaAddress> alsa_address(std::string_view system_name);

// Cuts `text` to at most `limit` bytes without splitting a UTF-8 sequence.
std::string cut_utf8(std::string_view text, std::size_t limit);

// The port of `now` that stands for entry `wanted` of `then`: the same entry text, counting
// equal texts in order (the second of two identical devices stays the second). Null when the
// device is gone.
const PortRef* find_again(const std::vector<PortRef>& then, std::size_t wanted,
                          const std::vector<PortRef>& now);

}  // namespace brisca
