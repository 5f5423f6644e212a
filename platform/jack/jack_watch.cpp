#include "platform/jack/jack_watch.h"

#include <jack/jack.h>

#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/api/own_clients.h"
#include "platform/core/bounded_call.h"
#include "platform/core/bounded_close.h"
#include "platform/core/event_poster.h"
#include "platform/jack/jack_client.h"

namespace brisca {
namespace {

// What one port stands for in the lists: a MIDI device, or one audio input of a client.
struct Seen {
  DeviceKind kind = DeviceKind::MidiOut;
  std::string name;  // the entry; for audio, the client's
};

// Everything libjack's threads and the watch share. Locked by `mutex`; `running` false once the
// watch is going, after which the callbacks do nothing.
struct Shared {
  Shared(Clock& clock, DeviceWatchListener& listener, JackWatchNames given)
      : poster(clock, listener), names(std::move(given)) {}

  EventPoster poster;
  JackWatchNames names;
  std::mutex mutex;
  bool running = true;
  jack_client_t* client = nullptr;
  std::map<jack_port_t*, Seen> ports;       // libjack hands out one handle per port
  std::map<std::string, int> audio_inputs;  // per audio device: its inputs known

  // What `port` stands for; nothing for ports of no interest and this program's own.
  std::optional<Seen> describe(jack_port_t* port) const {
    const char* full = jack_port_name(port);
    const char* type = jack_port_type(port);
    if (full == nullptr || type == nullptr) return std::nullopt;
    const std::string_view name(full);
    if (is_own_client(client_of_port(name))) return std::nullopt;
    const int flags = jack_port_flags(port);
    const std::string_view kind(type);
    if (kind == JACK_DEFAULT_MIDI_TYPE && names.midi) {
      // We send into the other clients' inputs and receive from their outputs.
      if (flags & JackPortIsInput) return Seen{DeviceKind::MidiOut, names.midi(name)};
      if (flags & JackPortIsOutput) return Seen{DeviceKind::MidiIn, names.midi(name)};
    } else if (kind == JACK_DEFAULT_AUDIO_TYPE && names.audio_out && (flags & JackPortIsInput)) {
      return Seen{DeviceKind::AudioOut, names.audio_out(client_of_port(name))};
    }
    return std::nullopt;
  }

  // Takes a port into the table; true when it makes a device appear.
  bool add(jack_port_t* port, const Seen& seen) {
    if (!ports.emplace(port, seen).second) return false;
    return seen.kind != DeviceKind::AudioOut || ++audio_inputs[seen.name] == 1;
  }
  // Takes a port out of the table; the device that disappears with it, if one does.
  std::optional<Seen> remove(jack_port_t* port) {
    const auto it = ports.find(port);
    if (it == ports.end()) return std::nullopt;
    const Seen seen = it->second;
    ports.erase(it);
    if (seen.kind == DeviceKind::AudioOut && --audio_inputs[seen.name] > 0) return std::nullopt;
    audio_inputs.erase(seen.name);
    return seen;
  }
};

void on_registration(jack_port_id_t id, int registered, void* arg) {
  auto* shared = static_cast<Shared*>(arg);
  std::lock_guard lock(shared->mutex);
  if (!shared->running) return;
  jack_port_t* port = jack_port_by_id(shared->client, id);
  if (port == nullptr) return;
  if (registered) {
    const std::optional<Seen> seen = shared->describe(port);
    if (seen && shared->add(port, *seen))
      shared->poster.post({DeviceChange::Added, seen->kind, seen->name});
  } else if (const std::optional<Seen> gone = shared->remove(port)) {
    shared->poster.post({DeviceChange::Removed, gone->kind, gone->name});
  }
}

void on_shutdown(jack_status_t, const char*, void* arg) {
  auto* shared = static_cast<Shared*>(arg);
  std::lock_guard lock(shared->mutex);
  if (!shared->running) return;
  std::vector<jack_port_t*> known;
  for (const auto& [port, seen] : shared->ports) known.push_back(port);
  for (jack_port_t* port : known)
    if (const std::optional<Seen> gone = shared->remove(port))
      shared->poster.post({DeviceChange::Removed, gone->kind, gone->name});
  shared->running = false;
}

// Deactivates and closes a client of the watch. It holds the shared part alive, which the
// client's callbacks use until the close has returned.
struct CloseWatchClient {
  std::shared_ptr<Shared> shared;
  void operator()(jack_client_t* client) const {
    jack_deactivate(client);
    jack_client_close(client);
  }
};
using WatchClient = std::unique_ptr<jack_client_t, CloseWatchClient>;

class JackWatch final : public DeviceWatch {
 public:
  JackWatch(std::shared_ptr<Shared> shared, WatchClient client)
      : shared_(std::move(shared)), client_(std::move(client)) {}
  ~JackWatch() override {
    {
      std::lock_guard lock(shared_->mutex);
      shared_->running = false;
    }
    shared_->poster.stop();
    close_bounded(
        [client = std::make_shared<WatchClient>(std::move(client_))] { client->reset(); });
  }

 private:
  std::shared_ptr<Shared> shared_;
  WatchClient client_;
};

// Opens and activates the watch's client and takes in the ports already there; null when no
// server answers.
WatchClient open_watch_client(const std::shared_ptr<Shared>& shared) {
  jack_status_t status{};
  jack_client_t* opened = jack_client_open("BriscaTool watch", JackNoStartServer, &status);
  if (opened == nullptr) return nullptr;
  shared->client = opened;
  jack_on_info_shutdown(opened, on_shutdown, shared.get());
  if (jack_set_port_registration_callback(opened, on_registration, shared.get()) != 0) {
    jack_client_close(opened);
    return nullptr;
  }
  WatchClient client(opened, CloseWatchClient{shared});
  if (jack_activate(opened) != 0) return nullptr;
  // The ports already there are known, not reported. A port registered since the activation may
  // have been reported already: the table takes each port once.
  // The ports are asked of the server with the lock not held: the server waits for this client's
  // registration callback, which takes the lock, before it answers another request.
  std::vector<std::pair<jack_port_t*, Seen>> present;
  if (const char** names_now = jack_get_ports(opened, nullptr, nullptr, 0)) {
    for (const char** p = names_now; *p != nullptr; ++p) {
      jack_port_t* port = jack_port_by_name(opened, *p);
      if (port == nullptr) continue;
      if (const std::optional<Seen> seen = shared->describe(port))
        present.emplace_back(port, *seen);
    }
    jack_free(names_now);
  }
  std::lock_guard lock(shared->mutex);
  for (const auto& [port, seen] : present) shared->add(port, seen);
  return client;
}

}  // namespace

std::unique_ptr<DeviceWatch> watch_jack(Clock& clock, DeviceWatchListener& listener,
                                        JackWatchNames names) {
  quiet_jack_messages();
  auto shared = std::make_shared<Shared>(clock, listener, std::move(names));
  // A server that is stopped or busy dying keeps an opening client waiting, and with it whoever
  // asked (the window, as it starts). Past the limit there is no watch: the client reports
  // nothing, and when it does open after all, the thread that opened it closes it, as its result
  // is dropped there.
  auto opened = run_bounded([shared] { return open_watch_client(shared); }, kCallLimit);
  if (!opened || !*opened) {
    {
      std::lock_guard lock(shared->mutex);
      shared->running = false;
    }
    shared->poster.stop();  // what it posted before is dropped too
    return nullptr;
  }
  return std::make_unique<JackWatch>(std::move(shared), std::move(*opened));
}

}  // namespace brisca
