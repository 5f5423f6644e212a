// The device services this build has: RtAudio for audio and the MIDI backends when they are
// built in, otherwise services with no devices.
#pragma once

#include <memory>

#include "platform/api/devices.h"

namespace brisca {

std::unique_ptr<AudioService> make_audio_service();
std::unique_ptr<MidiService> make_midi_service();

}  // namespace brisca
