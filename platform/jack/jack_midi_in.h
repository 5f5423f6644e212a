// MIDI in through a JACK client of our own: the bytes of every event that arrives at our port go
// to the input core as they are, so a SysEx sent in pieces is put together again there. The
// server's shutdown notice, or our port losing the connection it had (the sending client has
// gone), count as loss: closed() is reported and input stops; close() works as always.
#pragma once

#include <memory>
#include <string>

#include "platform/api/devices.h"
#include "platform/core/midi_in_core.h"
#include "platform/jack/jack_client.h"

namespace brisca {

class JackMidiIn final : public CoreMidiIn, private JackHandler {
 public:
  // `peer`: the full name of the JACK port to receive from. Null on failure.
  static std::unique_ptr<MidiInDevice> open(const std::string& peer,
                                            MidiInDeviceListener& listener);
  ~JackMidiIn() override;

  Status close() override;

 private:
  explicit JackMidiIn(MidiInDeviceListener& listener) : CoreMidiIn(listener) {}
  void process(jack_nframes_t frames) override;
  // libjack calls this from the client's own thread, which runs no process cycle after it.
  void server_lost() override { core_.mark_lost(); }

  std::unique_ptr<JackMidiClient> client_;
  bool was_connected_ = false;  // the process thread only
};

}  // namespace brisca
