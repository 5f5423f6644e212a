// MIDI out through a JACK client of our own: each message becomes one JACK MIDI event holding
// exactly its bytes, written in the server's process cycle. the done report follows once the event
// is in the port's buffer for that cycle. No message is placed before the MIDI wire has carried the
// one before it, so a late cycle cannot hand an interface two chunks back to back; at the
// down-load's paces this changes nothing but such bunching. The server's shutdown notice, our port
// losing its connection (the receiving client has gone) or a cycle that stops coming all count as
// loss.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/api/devices.h"
#include "platform/core/midi_out_core.h"
#include "platform/jack/jack_client.h"

namespace brisca {

class JackMidiOut final : public MidiOutDevice, private JackHandler {
 public:
  // `peer`: the full name of the JACK port to send to. Null on failure.
  static std::unique_ptr<MidiOutDevice> open(const std::string& peer,
                                             MidiOutDeviceListener& listener);
  ~JackMidiOut() override;

  Status prepare_header(MidiHeader& header) override { return core_->prepare(header); }
  Status long_msg(MidiHeader& header) override { return core_->submit(header); }
  Status short_msg(std::uint32_t packed) override { return core_->submit_short(packed); }
  Status unprepare_header(MidiHeader& header) override { return core_->unprepare(header); }
  Status close() override;
  std::string destination() const override { return "JACK: " + peer_; }
  std::vector<std::string> other_senders() const override;
  bool destination_gone() const override;

 private:
  JackMidiOut() = default;
  void process(jack_nframes_t frames) override;
  // libjack calls this from the client's own thread, which runs no process cycle after it.
  void server_lost() override {
    server_gone_.store(true);
    core_->consumer_gone();
  }

  std::string peer_;
  std::unique_ptr<JackMidiClient> client_;
  std::unique_ptr<MidiOutCore> core_;
  std::atomic<bool> server_gone_{false};
  bool was_connected_ = false;  // the process thread only
  // When, by the server's clock (microseconds), the MIDI wire behind the port has carried the
  // last message written: the next one is placed no earlier. The process thread only.
  double wire_free_us_ = 0;
};

}  // namespace brisca
