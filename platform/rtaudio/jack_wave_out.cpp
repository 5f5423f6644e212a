#include "platform/rtaudio/jack_wave_out.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>

#include "platform/core/bounded_close.h"

namespace brisca::rtaudio {

struct JackWaveOut::Client {
  explicit Client(WaveOutDeviceListener& listener) : queue(listener) {}
  WaveQueue queue;
  jack_client_t* client = nullptr;
  jack_port_t* port = nullptr;
  std::vector<std::int16_t> samples = std::vector<std::int16_t>(kMaxFrames);  // process thread
  std::atomic<bool> server_gone{false};
  // The largest period rendered at once (libjack's own limit); a larger one goes in pieces.
  static constexpr std::size_t kMaxFrames = 8192;
};

namespace {

using Client = JackWaveOut::Client;

void ignore_message(const char*) {}

// libjack prints to stderr when no server runs; the result says it instead.
void quiet_libjack() {
  static std::once_flag once;
  std::call_once(once, [] {
    jack_set_error_function(ignore_message);
    jack_set_info_function(ignore_message);
  });
}

// The server's real-time thread: takes samples from the queue, as floats of full scale 32768.
int on_process(jack_nframes_t frames, void* arg) {
  auto* c = static_cast<Client*>(arg);
  auto* out = static_cast<float*>(jack_port_get_buffer(c->port, frames));
  for (std::size_t at = 0; at < frames;) {
    const std::size_t n = std::min<std::size_t>(frames - at, c->samples.size());
    c->queue.render(c->samples.data(), n, WaveQueue::Clock::now());
    for (std::size_t i = 0; i < n; ++i) out[at + i] = static_cast<float>(c->samples[i]) / 32768.0f;
    at += n;
  }
  return 0;
}

// A libjack thread, once, when the server shuts down or drops us: no libjack call here.
void on_shutdown(jack_status_t, const char*, void* arg) {
  auto* c = static_cast<Client*>(arg);
  c->server_gone.store(true, std::memory_order_release);
  c->queue.fail();
}

void leave(Client& c) {
  if (c.client == nullptr) return;
  jack_deactivate(c.client);
  jack_client_close(c.client);  // fails, harmlessly, once the server is gone
  c.client = nullptr;
}

bool connect(Client& c, const std::string& device) {
  const std::vector<std::string> targets = playback_ports(c.client, device);
  if (targets.empty()) return false;
  const char* ours = jack_port_name(c.port);
  for (const std::string& target : targets) {
    const int result = jack_connect(c.client, ours, target.c_str());
    if (result != 0 && result != EEXIST) return false;
  }
  return true;
}

bool start(Client& c, const std::string& device) {
  jack_status_t status{};
  c.client = jack_client_open("BriscaTool", JackNoStartServer, &status);
  if (c.client == nullptr) return false;
  if (jack_get_sample_rate(c.client) != static_cast<jack_nframes_t>(kSampleRate)) return false;
  c.port = jack_port_register(c.client, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
  if (c.port == nullptr || jack_set_process_callback(c.client, on_process, &c) != 0) return false;
  jack_on_info_shutdown(c.client, on_shutdown, &c);
  return jack_activate(c.client) == 0 && connect(c, device);
}

}  // namespace

std::vector<std::string> playback_ports(jack_client_t* client, const std::string& device) {
  std::vector<std::string> found;
  const std::string prefix = device + ":";
  const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput);
  if (ports == nullptr) return found;
  for (const char** p = ports; *p != nullptr && found.size() < 2; ++p)
    if (std::string_view(*p).substr(0, prefix.size()) == prefix) found.emplace_back(*p);
  jack_free(ports);
  return found;
}

std::unique_ptr<JackWaveOut> JackWaveOut::open(const std::string& device,
                                               WaveOutDeviceListener& listener) {
  quiet_libjack();
  auto client = std::make_shared<Client>(listener);
  if (!start(*client, device)) {
    leave(*client);
    return nullptr;
  }
  std::unique_ptr<JackWaveOut> out(new JackWaveOut(client));
  out->watchdog_ = std::make_unique<StallWatch>(
      client->queue, [c = client.get()] { return c->server_gone.load(std::memory_order_acquire); },
      kStallLimit);
  return out;
}

JackWaveOut::JackWaveOut(std::shared_ptr<Client> client)
    : QueuedWaveOut(client->queue), client_(std::move(client)) {}

JackWaveOut::~JackWaveOut() {
  (void)close();
}

Status JackWaveOut::close() {
  if (closed()) return device_error::closed();
  if (watchdog_) watchdog_->stop();
  begin_close();
  close_bounded([client = client_] { leave(*client); });
  return {};
}

}  // namespace brisca::rtaudio
