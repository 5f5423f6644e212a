// The MIDI service over the ALSA sequencer and JACK. Each API is asked on its own and skipped
// when it is missing or fails (no /dev/snd/seq, no JACK server); no JACK server is ever started.
// ALSA ports come first, then JACK ports; entry texts as in port_names.h. This program's own
// ports (its MIDI in and out, see own_clients.h) are never listed. Opening looks the
// chosen entry up again among the ports present now, as ports come and go between listing and
// opening.
#pragma once

#include <memory>
#include <vector>

#include "platform/api/devices.h"
#include "platform/rtmidi/port_names.h"

namespace brisca {

class RtMidiService final : public MidiService {
 public:
  RtMidiService();
  std::vector<std::string> input_names() override;
  std::vector<std::string> output_names() override;
  std::unique_ptr<MidiInDevice> open_input(int device, MidiInDeviceListener& listener) override;
  std::unique_ptr<MidiOutDevice> open_output(int device, MidiOutDeviceListener& listener) override;
  // The sequencer's ports through its announcements, JACK's through a client of our own.
  std::unique_ptr<DeviceWatch> watch(Clock& clock, DeviceWatchListener& listener) override;

 private:
  std::vector<PortRef> inputs_;
  std::vector<PortRef> outputs_;
  bool inputs_listed_ = false;
  bool outputs_listed_ = false;
};

// Every port of one API for one direction, as entries.
std::vector<PortRef> list_ports(MidiApi api, bool for_output);

std::unique_ptr<MidiService> make_rtmidi_service();

}  // namespace brisca
