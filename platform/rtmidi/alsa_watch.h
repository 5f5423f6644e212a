// MIDI ports of the ALSA sequencer coming and going, as the service lists them: a port that
// starts is reported added as an input, an output or both, by the entry texts its listing would
// give; one that ends is reported removed under the names it was added with. The notices come
// from a SeqEventSource, read on a thread of the watch's own.
#pragma once

#include <memory>
#include <string>

#include "common/clock.h"
#include "platform/alsa/seq_announce.h"
#include "platform/api/device_watch.h"

namespace brisca {

// The entries a sequencer port has in the service's input and output lists; empty where it is
// not listed (not a MIDI port, not readable or writable by others, the system's, or ours).
struct SeqPortEntries {
  std::string input;
  std::string output;
};
SeqPortEntries seq_port_entries(const SeqPort& port);

// Reports through `listener`, on `clock`, until destroyed. The ports there already are known and
// not reported.
std::unique_ptr<DeviceWatch> watch_alsa(Clock& clock, DeviceWatchListener& listener,
                                        std::unique_ptr<SeqEventSource> source);

}  // namespace brisca
