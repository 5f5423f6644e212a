// The ALSA sequencer's notices of ports starting and ending, read by a client of our own
// ("BriscaTool watch") subscribed to the system's announce port. Behind a small interface, so
// that what is made of the notices can be tried without a sequencer.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brisca {

struct SeqPort {
  int client = 0;
  int port = 0;
  std::string client_name;
  std::string port_name;
  unsigned type = 0;  // SND_SEQ_PORT_TYPE_* bits
  unsigned caps = 0;  // SND_SEQ_PORT_CAP_* bits
};

struct SeqAnnounce {
  enum class Kind { PortStart, PortExit };
  Kind kind = Kind::PortStart;
  SeqPort port;  // whole for a start; only the numbers for an exit
};

class SeqEventSource {
 public:
  virtual ~SeqEventSource() = default;
  // Every port there now.
  virtual std::vector<SeqPort> ports() = 0;
  // The next port started or ended, waiting at most `wait`; nothing when none came. Other
  // notices (clients starting and ending, subscriptions) are passed over.
  virtual std::optional<SeqAnnounce> next(std::chrono::milliseconds wait) = 0;
};

// Null when there is no sequencer (no /dev/snd/seq) or it refuses the client.
std::unique_ptr<SeqEventSource> open_seq_announcements();

}  // namespace brisca
