// What a device watch reported, in order: the listener of the audio tests, run on their clock's
// thread.
#pragma once

#include <string>
#include <vector>

#include "platform/api/device_watch.h"

namespace brisca::test {

struct WatchLog : DeviceWatchListener {
  void device_changed(const DeviceEvent& event) override { events.push_back(event); }
  // The audio-output events naming `name`, in order.
  std::vector<DeviceEvent> audio_out(const std::string& name) const {
    std::vector<DeviceEvent> found;
    for (const DeviceEvent& event : events)
      if (event.kind == DeviceKind::AudioOut && event.name == name) found.push_back(event);
    return found;
  }
  std::vector<DeviceEvent> events;
};

}  // namespace brisca::test
