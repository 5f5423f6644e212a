// How a device watch hands its events over: each one is posted to the watch's clock and reaches
// the listener there, never on the device's or server's thread; once the watch has stopped the
// poster, events still on their way are dropped.
#pragma once

#include <memory>
#include <utility>

#include "common/clock.h"
#include "platform/api/device_watch.h"

namespace brisca {

class EventPoster {
 public:
  EventPoster(Clock& clock, DeviceWatchListener& listener)
      : clock_(clock), target_(std::make_shared<Target>(Target{&listener, true})) {}
  EventPoster(const EventPoster&) = delete;
  EventPoster& operator=(const EventPoster&) = delete;

  // Any thread.
  void post(DeviceEvent event) {
    clock_.post([target = target_, event = std::move(event)] {
      if (target->alive) target->listener->device_changed(event);
    });
  }
  // The clock's thread (where the posted events run): no event reaches the listener after it.
  void stop() { target_->alive = false; }

 private:
  struct Target {
    DeviceWatchListener* listener;
    bool alive;  // the clock's thread only
  };
  Clock& clock_;
  std::shared_ptr<Target> target_;
};

}  // namespace brisca
