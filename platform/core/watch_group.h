// Several watches as one: a service whose devices come from more than one source (the ALSA
// sequencer and JACK) watches each and stops them all together.
#pragma once

#include <memory>
#include <vector>

#include "platform/api/device_watch.h"

namespace brisca {

class WatchGroup final : public DeviceWatch {
 public:
  void add(std::unique_ptr<DeviceWatch> watch) {
    if (watch) parts_.push_back(std::move(watch));
  }
  bool empty() const { return parts_.empty(); }

 private:
  std::vector<std::unique_ptr<DeviceWatch>> parts_;
};

// The group, or null when no part could watch.
inline std::unique_ptr<DeviceWatch> group_or_null(std::unique_ptr<WatchGroup> group) {
  if (group->empty()) return nullptr;
  return group;
}

}  // namespace brisca
