// Follows the devices coming and going while the window runs. On each change the services'
// watches report, the device tables are listed again (once a burst of changes has settled): a
// chosen MIDI output, MIDI input or audio output that went is closed and kept as the choice, and
// the window's status line says so (naming the file a preview was playing on an audio output
// that went, as that preview stops with it); when a device of its name comes back it is opened
// again.
// Everything runs on the clock's thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/devices/device_choices.h"
#include "app/devices/services.h"
#include "common/clock.h"
#include "platform/api/device_watch.h"

namespace brisca {

class DeviceFollower : private DeviceWatchListener {
 public:
  struct Ports {
    // A line for the window's status line; `stays` until replaced.
    std::function<void(const std::string& text, bool stays)> status;
    // The tables were listed again: current choices may have moved, gone or come back.
    std::function<void()> relisted;
    // The file a preview plays on the audio output now; empty when none plays.
    std::function<std::string()> playing;
  };
  // How long a burst of changes (a client's ports registered one by one) is let settle.
  static constexpr Clock::Duration kSettle{100};

  // Starts the services' watches; a service that cannot tell is not watched.
  DeviceFollower(DeviceChoices& choices, MidiService& midi, AudioService& audio, Clock& clock,
                 Ports ports);
  ~DeviceFollower() override;

  bool watching() const { return watches_.midi != nullptr || watches_.audio != nullptr; }

 private:
  void device_changed(const DeviceEvent& event) override;
  void relist();
  void tell(const std::string& what, const std::string& gone_before, const std::string& gone_now,
            int current, const std::string& playing = {});

  DeviceChoices& choices_;
  Clock& clock_;
  Ports ports_;
  DeviceWatches watches_;
  ScopedTimer settle_;
  bool midi_due_ = false, audio_due_ = false;
};

// The text the window shows for the device of a table entry: the entry without the format an
// audio output's entry tells.
std::string device_name_of(const std::string& entry);

}  // namespace brisca
