#include "platform/rtmidi/alsa_watch.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <map>
#include <thread>
#include <utility>

#include "platform/api/own_clients.h"
#include "platform/core/event_poster.h"
#include "platform/rtmidi/port_names.h"

namespace brisca {
namespace {

// How often the reading thread looks whether the watch is going.
constexpr std::chrono::milliseconds kStopCheck{100};

bool has_caps(unsigned caps, unsigned wanted) {
  return (caps & wanted) == wanted;
}

class AlsaWatch final : public DeviceWatch {
 public:
  AlsaWatch(Clock& clock, DeviceWatchListener& listener, std::unique_ptr<SeqEventSource> source)
      : poster_(clock, listener), source_(std::move(source)) {
    for (const SeqPort& port : source_->ports())
      known_[{port.client, port.port}] = seq_port_entries(port);
    reader_ = std::thread([this] { run(); });
  }
  ~AlsaWatch() override {
    stopping_.store(true);
    reader_.join();
    poster_.stop();
  }

 private:
  void run() {
    while (!stopping_.load()) {
      if (const std::optional<SeqAnnounce> notice = source_->next(kStopCheck)) take(*notice);
    }
  }

  void take(const SeqAnnounce& notice) {
    const std::pair<int, int> address{notice.port.client, notice.port.port};
    if (notice.kind == SeqAnnounce::Kind::PortStart) {
      if (known_.count(address) != 0) return;  // told twice
      const SeqPortEntries entries = seq_port_entries(notice.port);
      known_[address] = entries;
      tell(DeviceChange::Added, entries);
      return;
    }
    const auto it = known_.find(address);
    if (it == known_.end()) return;
    const SeqPortEntries entries = std::move(it->second);
    known_.erase(it);
    tell(DeviceChange::Removed, entries);
  }

  void tell(DeviceChange change, const SeqPortEntries& entries) {
    if (!entries.input.empty()) poster_.post({change, DeviceKind::MidiIn, entries.input});
    if (!entries.output.empty()) poster_.post({change, DeviceKind::MidiOut, entries.output});
  }

  EventPoster poster_;
  std::unique_ptr<SeqEventSource> source_;
  std::map<std::pair<int, int>, SeqPortEntries> known_;  // the reading thread's, once it runs
  std::atomic<bool> stopping_{false};
  std::thread reader_;
};

}  // namespace

// The ports the MIDI library lists, named as it names them ("client:port N:M"), whose entry drops
// the numbers.
SeqPortEntries seq_port_entries(const SeqPort& port) {
  constexpr unsigned kMidiTypes =
      SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SYNTH | SND_SEQ_PORT_TYPE_APPLICATION;
  if (port.client == SND_SEQ_CLIENT_SYSTEM || (port.type & kMidiTypes) == 0) return {};
  const std::string name = port.client_name + ":" + port.port_name + " " +
                           std::to_string(port.client) + ":" + std::to_string(port.port);
  if (is_own_client(client_of_port(name))) return {};
  SeqPortEntries entries;
  if (has_caps(port.caps, SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ))
    entries.input = entry_text(MidiApi::Alsa, name);
  if (has_caps(port.caps, SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE))
    entries.output = entry_text(MidiApi::Alsa, name);
  return entries;
}

std::unique_ptr<DeviceWatch> watch_alsa(Clock& clock, DeviceWatchListener& listener,
                                        std::unique_ptr<SeqEventSource> source) {
  if (!source) return nullptr;
  return std::make_unique<AlsaWatch>(clock, listener, std::move(source));
}

}  // namespace brisca
