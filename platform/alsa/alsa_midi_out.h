// MIDI out through an ALSA sequencer client of our own, subscribed to the chosen port. Long
// messages go as raw SysEx events (see alsa_event.h), short ones through the library's MIDI
// encoder. Writes happen on the output's reporting thread; the done report follows once the
// sequencer has taken the event. An error other than a full queue (the device has gone) counts as
// loss.
#pragma once

#include <alsa/asoundlib.h>

#include <memory>

#include "platform/api/devices.h"
#include "platform/core/midi_out_core.h"

namespace brisca {

class AlsaMidiOut final : public MidiOutDevice {
 public:
  static std::unique_ptr<MidiOutDevice> open(int dest_client, int dest_port,
                                             MidiOutDeviceListener& listener);
  ~AlsaMidiOut() override;

  Status prepare_header(MidiHeader& header) override { return core_->prepare(header); }
  Status long_msg(MidiHeader& header) override { return core_->submit(header); }
  Status short_msg(std::uint32_t packed) override { return core_->submit_short(packed); }
  Status unprepare_header(MidiHeader& header) override { return core_->unprepare(header); }
  Status close() override;
  std::string destination() const override;
  std::vector<std::string> other_senders() const override;
  bool destination_gone() const override;

 private:
  AlsaMidiOut() = default;
  bool connect(int dest_client, int dest_port);
  WriteResult write(bool is_long, const std::uint8_t* data, std::size_t size);
  WriteResult send(snd_seq_event_t& event);
  bool wait_writable(int timeout_ms);
  void release();

  snd_seq_t* seq_ = nullptr;
  snd_midi_event_t* encoder_ = nullptr;
  int port_ = -1;
  int dest_client_ = 0;
  int dest_port_ = 0;
  std::unique_ptr<MidiOutCore> core_;
};

}  // namespace brisca
