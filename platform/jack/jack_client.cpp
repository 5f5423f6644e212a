#include "platform/jack/jack_client.h"

#include <jack/midiport.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/core/bounded_call.h"
#include "platform/core/bounded_close.h"

namespace brisca {

namespace {
void ignore_message(const char*) {}

// Just after a client registers its port, a busy server may still refuse a connection to it
// ("unknown port") for a moment; a device that has only just come up does the same.
constexpr auto kConnectSettle = std::chrono::seconds(5);
constexpr auto kConnectRetry = std::chrono::milliseconds(20);
}  // namespace

void quiet_jack_messages() {
  static std::once_flag once;
  std::call_once(once, [] {
    jack_set_error_function(ignore_message);
    jack_set_info_function(ignore_message);
  });
}

JackMidiClient::JackMidiClient(jack_client_t* client, Direction direction, JackHandler& handler)
    : client_(client), direction_(direction), gate_(std::make_shared<Gate>()) {
  gate_->handler.store(&handler);
}

std::unique_ptr<JackMidiClient> JackMidiClient::open(const std::string& client_name,
                                                     Direction direction, JackHandler& handler) {
  quiet_jack_messages();
  jack_status_t status{};
  jack_client_t* client = jack_client_open(client_name.c_str(), JackNoStartServer, &status);
  if (client == nullptr) return nullptr;
  std::unique_ptr<JackMidiClient> self(new JackMidiClient(client, direction, handler));
  const unsigned long flags = direction == Direction::Out ? JackPortIsOutput : JackPortIsInput;
  self->port_ = jack_port_register(client, direction == Direction::Out ? "out" : "in",
                                   JACK_DEFAULT_MIDI_TYPE, flags, 0);
  if (self->port_ == nullptr) return nullptr;
  if (direction == Direction::Out) self->gate_->out_port = self->port_;
  if (jack_set_process_callback(client, on_process, self->gate_.get()) != 0) return nullptr;
  jack_on_info_shutdown(client, on_shutdown, self->gate_.get());
  return self;
}

JackMidiClient::~JackMidiClient() {
  close();
}

bool JackMidiClient::activate_and_connect(const std::string& peer) {
  if (jack_activate(client_) != 0) return false;
  const char* ours = jack_port_name(port_);
  // Tried again while the peer's port is listed, for a bounded time; a port that is not there
  // fails at once.
  const auto deadline = std::chrono::steady_clock::now() + kConnectSettle;
  for (;;) {
    const int result = direction_ == Direction::Out ? jack_connect(client_, ours, peer.c_str())
                                                    : jack_connect(client_, peer.c_str(), ours);
    if (result == 0 || result == EEXIST) return true;
    if (jack_port_by_name(client_, peer.c_str()) == nullptr) return false;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kConnectRetry);
  }
}

void JackMidiClient::close() {
  if (client_ == nullptr) return;
  // The handler hears nothing from here on, whether or not the server lets the client go in
  // time; a callback already inside it ends within its cycle.
  gate_->handler.store(nullptr);
  while (gate_->inside.load() != 0) std::this_thread::yield();
  // The gate stays alive with the close, for the callbacks of a client that is slow to leave.
  close_bounded([client = client_, gate = gate_] {
    jack_deactivate(client);
    jack_client_close(client);  // fails, harmlessly, once the server is gone
  });
  client_ = nullptr;
  port_ = nullptr;
}

// The counter goes up before the handler is read, and close() clears the handler before it
// reads the counter (both sequentially consistent): either the callback sees no handler, or
// close() sees it inside and waits.
int JackMidiClient::on_process(jack_nframes_t frames, void* gate) {
  auto* g = static_cast<Gate*>(gate);
  g->inside.fetch_add(1);
  if (JackHandler* handler = g->handler.load()) {
    handler->process(frames);
  } else if (g->out_port != nullptr) {
    // An output buffer left as it was would send its last events again in each cycle.
    jack_midi_clear_buffer(jack_port_get_buffer(g->out_port, frames));
  }
  g->inside.fetch_sub(1);
  return 0;
}

void JackMidiClient::on_shutdown(jack_status_t, const char*, void* gate) {
  auto* g = static_cast<Gate*>(gate);
  g->inside.fetch_add(1);
  if (JackHandler* handler = g->handler.load()) handler->server_lost();
  g->inside.fetch_sub(1);
}

std::vector<std::string> jack_midi_ports(bool for_output) {
  quiet_jack_messages();
  // A server that is stopped keeps a client waiting: past the limit no port is listed.
  auto listed = run_bounded(
      [for_output] {
        std::vector<std::string> names;
        jack_status_t status{};
        jack_client_t* client = jack_client_open("BriscaTool list", JackNoStartServer, &status);
        if (client == nullptr) return names;
        // We send into the other clients' inputs and receive from their outputs.
        const unsigned long flags = for_output ? JackPortIsInput : JackPortIsOutput;
        if (const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags)) {
          for (const char** p = ports; *p != nullptr; ++p) names.emplace_back(*p);
          jack_free(ports);
        }
        jack_client_close(client);
        return names;
      },
      kCallLimit);
  return listed ? std::move(*listed) : std::vector<std::string>{};
}

}  // namespace brisca
