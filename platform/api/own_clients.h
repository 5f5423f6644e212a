// The clients this program opens on the sound servers are all named "BriscaTool" or
// "BriscaTool <role>" ("BriscaTool out", "BriscaTool in", "BriscaTool list"), and a server may
// add "-NN" to a second client of one name. Their ports are this program's own, never devices
// to choose: offered as one, they would wire the program to itself.
#pragma once

#include <string_view>

namespace brisca {

inline constexpr std::string_view kOwnClientName = "BriscaTool";

// True when a client named `client` is one of this program's.
inline bool is_own_client(std::string_view client) {
  if (client.substr(0, kOwnClientName.size()) != kOwnClientName) return false;
  const std::string_view rest = client.substr(kOwnClientName.size());
  return rest.empty() || rest.front() == ' ' || rest.front() == '-';
}

// The client of a port named "client:port" (JACK, and ALSA as the MIDI library lists it).
inline std::string_view client_of_port(std::string_view port) {
  return port.substr(0, port.find(':'));
}

}  // namespace brisca
