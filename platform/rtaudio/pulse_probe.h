// Whether a PulseAudio server (or PipeWire's) answers, asked without letting the client library
// spawn one: RtAudio connects with the library's defaults, which start a server when none runs.
#pragma once

#include <chrono>

namespace brisca::rtaudio {

bool pulse_server_running(std::chrono::milliseconds limit = std::chrono::milliseconds(1000));

}  // namespace brisca::rtaudio
