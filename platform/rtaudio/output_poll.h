// Audio outputs coming and going where the API gives no notice of it (PulseAudio, ALSA): the
// outputs are listed again every kPollPeriod on a thread of the watch's own, and the names that
// appeared or vanished since the last listing are reported.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/clock.h"
#include "platform/api/device_watch.h"

namespace brisca::rtaudio {

inline constexpr std::chrono::milliseconds kPollPeriod{2000};

// `list` gives the output names now; its first answer is known, not reported.
std::unique_ptr<DeviceWatch> poll_outputs(brisca::Clock& clock, DeviceWatchListener& listener,
                                          std::function<std::vector<std::string>()> list,
                                          std::chrono::milliseconds period = kPollPeriod);

// What changed from `before` to `after`, each name counted as often as it is listed: the
// removed first, then the added, each in list order.
std::vector<DeviceEvent> output_changes(const std::vector<std::string>& before,
                                        const std::vector<std::string>& after);

}  // namespace brisca::rtaudio
