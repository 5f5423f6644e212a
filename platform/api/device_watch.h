// Notice of devices coming and going while the program runs: a MIDI interface plugged in or
// pulled out, a JACK client's ports registered or gone, a sound server stopped.
//
// A backend's watch reports each change as a DeviceEvent, named exactly as the Setup lists and
// the command line's `devices` show the device, so a front end can match a change to the name a
// user chose. This program's own ports are never reported. Events are handed to the clock given
// to the watch (Clock::post), so listeners run on the clock's thread, never inside a device or
// server callback. Destroying the watch stops it; no event is delivered after that.
#pragma once

#include <memory>
#include <string>

namespace brisca {

class Clock;

enum class DeviceKind { MidiIn, MidiOut, AudioOut };
enum class DeviceChange { Added, Removed };

struct DeviceEvent {
  DeviceChange change = DeviceChange::Added;
  DeviceKind kind = DeviceKind::MidiOut;
  std::string name;  // as the device lists show it ("JACK: synth:in", "ALSA 20:0 ...")
  bool operator==(const DeviceEvent&) const = default;
};

class DeviceWatchListener {
 public:
  virtual ~DeviceWatchListener() = default;
  virtual void device_changed(const DeviceEvent& event) = 0;
};

// A running watch; it stops when destroyed.
class DeviceWatch {
 public:
  virtual ~DeviceWatch() = default;
};

}  // namespace brisca
