// MIDI in from an ALSA sequencer port through RtMidi, with SysEx, timing and active-sensing
// messages let through. The library's input thread hands each message's bytes to the input core
// and goes on at once.
#pragma once

#include <memory>

#include "platform/api/devices.h"
#include "platform/core/midi_in_core.h"

class RtMidiIn;

namespace brisca {

class AlsaMidiIn final : public CoreMidiIn {
 public:
  // `index`: the port's index in RtMidi's ALSA input listing, looked up just before. Null on
  // failure.
  static std::unique_ptr<MidiInDevice> open(unsigned index, MidiInDeviceListener& listener);
  ~AlsaMidiIn() override;

  Status close() override;

 private:
  explicit AlsaMidiIn(MidiInDeviceListener& listener);
  static void on_message(double, std::vector<unsigned char>* message, void* self);

  std::unique_ptr<RtMidiIn> input_;
};

}  // namespace brisca
