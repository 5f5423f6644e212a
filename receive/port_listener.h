// Hands what the MIDI input port delivers to a sound receiver, stamped with the time of the
// clock it was handled on; the port's monitor fields go on showing everything as before.
#pragma once

#include "monitor/midi_in_port.h"
#include "receive/sound_receiver.h"

namespace brisca {

class ReceiverListener final : public MidiInListener {
 public:
  ReceiverListener(SoundReceiver& receiver, const Clock& clock)
      : receiver_(receiver), clock_(clock) {}
  void short_message(std::uint32_t packed) override { receiver_.short_message(packed); }
  void long_data(const std::uint8_t* data, std::uint32_t length) override {
    receiver_.long_data(data, length, clock_.now());
  }

 private:
  SoundReceiver& receiver_;
  const Clock& clock_;
};

}  // namespace brisca
