// Services with no devices at all: what the program uses when no MIDI or audio library is built
// in, or none works. Every list is empty and every open fails, so the program runs with "none"
// as the only choice.
#pragma once

#include <memory>

#include "platform/api/devices.h"

namespace brisca {

class DummyMidiService final : public MidiService {
 public:
  std::vector<std::string> input_names() override { return {}; }
  std::vector<std::string> output_names() override { return {}; }
  std::unique_ptr<MidiInDevice> open_input(int, MidiInDeviceListener&) override { return nullptr; }
  std::unique_ptr<MidiOutDevice> open_output(int, MidiOutDeviceListener&) override {
    return nullptr;
  }
};

class DummyAudioService final : public AudioService {
 public:
  std::vector<AudioDeviceInfo> input_devices() override { return {}; }
  std::vector<AudioDeviceInfo> output_devices() override { return {}; }
  std::unique_ptr<WaveOutDevice> open_output(int, WaveOutDeviceListener&) override {
    return nullptr;
  }
};

std::unique_ptr<MidiService> make_dummy_midi_service();
std::unique_ptr<AudioService> make_dummy_audio_service();

}  // namespace brisca
