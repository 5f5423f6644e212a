// Hands what the MIDI input port delivers to a sound receiver, stamped with the time it was
// handled; the port's monitor fields go on showing everything as before.
#pragma once

#include "monitor/midi_in_port.h"
#include "receive/sound_receiver.h"

namespace brisca {

class ReceiverListener final : public MidiInListener {
 public:
  explicit ReceiverListener(SoundReceiver& receiver) : receiver_(receiver) {}
  void short_message(std::uint32_t packed) override { receiver_.short_message(packed); }
  void long_data(const std::uint8_t* data, std::uint32_t length) override {
    receiver_.long_data(data, length, SoundReceiver::Clock::now());
  }

 private:
  SoundReceiver& receiver_;
};

}  // namespace brisca
