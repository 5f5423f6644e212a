// The device services this build has: RtAudio for audio and the MIDI backends when they are
// built in, otherwise services with no devices.
#pragma once

#include <memory>

#include "platform/api/devices.h"

namespace brisca {

std::unique_ptr<AudioService> make_audio_service();
std::unique_ptr<MidiService> make_midi_service();

// The watches of both services, reporting to `listener` on `clock`; null for a service that
// cannot tell its devices coming and going. Destroying them stops them.
struct DeviceWatches {
  std::unique_ptr<DeviceWatch> midi, audio;
};
DeviceWatches watch_devices(MidiService& midi, AudioService& audio, Clock& clock,
                            DeviceWatchListener& listener);

}  // namespace brisca
