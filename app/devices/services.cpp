#include "app/devices/services.h"

#ifdef BRISCA_HAVE_DUMMY
#include "platform/dummy/dummy_services.h"
#endif
#ifdef BRISCA_HAVE_RTAUDIO
#include "platform/rtaudio/rtaudio_service.h"
#endif
#ifdef BRISCA_HAVE_RTMIDI
#include "platform/rtmidi/rtmidi_service.h"
#endif

namespace brisca {
namespace {

#ifndef BRISCA_HAVE_DUMMY
// A build without any device backend: no devices, every open fails.
class NoMidiService final : public MidiService {
 public:
  std::vector<std::string> input_names() override { return {}; }
  std::vector<std::string> output_names() override { return {}; }
  std::unique_ptr<MidiInDevice> open_input(int, MidiInDeviceListener&) override { return nullptr; }
  std::unique_ptr<MidiOutDevice> open_output(int, MidiOutDeviceListener&) override {
    return nullptr;
  }
};
class NoAudioService final : public AudioService {
 public:
  std::vector<AudioDeviceInfo> input_devices() override { return {}; }
  std::vector<AudioDeviceInfo> output_devices() override { return {}; }
  std::unique_ptr<WaveOutDevice> open_output(int, WaveOutDeviceListener&) override {
    return nullptr;
  }
};
std::unique_ptr<MidiService> make_dummy_midi_service() {
  return std::make_unique<NoMidiService>();
}
std::unique_ptr<AudioService> make_dummy_audio_service() {
  return std::make_unique<NoAudioService>();
}
#endif

}  // namespace

std::unique_ptr<AudioService> make_audio_service() {
#ifdef BRISCA_HAVE_RTAUDIO
  return std::make_unique<rtaudio::RtAudioService>();
#else
  return make_dummy_audio_service();
#endif
}

std::unique_ptr<MidiService> make_midi_service() {
#ifdef BRISCA_HAVE_RTMIDI
  return make_rtmidi_service();
#else
  return make_dummy_midi_service();
#endif
}

DeviceWatches watch_devices(MidiService& midi, AudioService& audio, Clock& clock,
                            DeviceWatchListener& listener) {
  return DeviceWatches{midi.watch(clock, listener), audio.watch(clock, listener)};
}

}  // namespace brisca
