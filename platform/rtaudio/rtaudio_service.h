// The audio devices of every RtAudio API present (PulseAudio or PipeWire's PulseAudio server,
// JACK, ALSA), each API asked on its own so that one that is missing or fails leaves the others
// listed. Nothing here starts a sound server.
#pragma once

#include <RtAudio.h>

#include <string>
#include <vector>

#include "platform/api/devices.h"

namespace brisca::rtaudio {

class RtAudioService : public AudioService {
 public:
  RtAudioService();

  std::vector<AudioDeviceInfo> input_devices() override;
  std::vector<AudioDeviceInfo> output_devices() override;
  // Finds the listed device again by API and name (servers renumber their devices as clients
  // come and go) and opens it; a JACK device is played into by a JACK client of our own.
  std::unique_ptr<WaveOutDevice> open_output(int device, WaveOutDeviceListener& listener) override;
  // JACK's devices through a client of our own; the other APIs' by listing them again every
  // couple of seconds.
  std::unique_ptr<DeviceWatch> watch(brisca::Clock& clock, DeviceWatchListener& listener) override;

  struct Listed {
    RtAudio::Api api;
    std::string raw_name;
    int earlier_namesakes = 0;  // devices of the same API and name listed before this one
    AudioDeviceInfo info;
  };

 private:
  std::vector<Listed> outputs_;
};

// The devices of `apis` in that order, with inputs (`output` false) or outputs.
std::vector<RtAudioService::Listed> list_devices(const std::vector<RtAudio::Api>& apis,
                                                 bool output);

// The APIs asked, in the order their devices are listed.
std::vector<RtAudio::Api> listed_apis();

}  // namespace brisca::rtaudio
