// Ports coming and going on the JACK server, seen by a client of our own ("BriscaTool watch")
// through the server's port registration notices. A MIDI port is a device of its own; an audio
// device is a client with audio inputs, added with its first such port and removed with its last.
// The names each port had are kept from its registration on, as a port that is going can no
// longer be asked reliably what it was. When the server shuts down, every port known is reported
// removed. This program's own ports are never reported.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/clock.h"
#include "platform/api/device_watch.h"

namespace brisca {

// How the device lists name what the watch reports; a function left empty leaves that kind out.
struct JackWatchNames {
  std::function<std::string(std::string_view port)> midi;         // "client:port" -> entry
  std::function<std::string(std::string_view client)> audio_out;  // client -> entry
};

// Null when no JACK server runs (one connection attempt).
std::unique_ptr<DeviceWatch> watch_jack(Clock& clock, DeviceWatchListener& listener,
                                        JackWatchNames names);

}  // namespace brisca
