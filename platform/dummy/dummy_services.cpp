#include "platform/dummy/dummy_services.h"

namespace brisca {

std::unique_ptr<MidiService> make_dummy_midi_service() {
  return std::make_unique<DummyMidiService>();
}

std::unique_ptr<AudioService> make_dummy_audio_service() {
  return std::make_unique<DummyAudioService>();
}

}  // namespace brisca
