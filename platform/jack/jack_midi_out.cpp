#include "platform/jack/jack_midi_out.h"

#include <jack/midiport.h>

#include <algorithm>
#include <cmath>

namespace brisca {

namespace {
// What an event may take of the port's buffer, leaving room for the buffer's own bookkeeping.
constexpr std::size_t kBufferSlack = 64;
// A byte's time on the MIDI wire: 10 bits at 31 250 bit/s.
constexpr double kWireUsPerByte = 320.0;
// Further ahead than this the wire's time is not believed (the server's clock was reset).
constexpr double kLongestWaitUs = 1e6;

// The server's estimate of when this cycle began, as every client of the cycle sees it.
double cycle_start_us(jack_client_t* client) {
  jack_nframes_t frame = 0;
  jack_time_t start = 0, next = 0;
  float period = 0;
  if (jack_get_cycle_times(client, &frame, &start, &next, &period) == 0)
    return static_cast<double>(start);
  return static_cast<double>(jack_get_time());
}
}  // namespace

std::unique_ptr<MidiOutDevice> JackMidiOut::open(const std::string& peer,
                                                 MidiOutDeviceListener& listener) {
  std::unique_ptr<JackMidiOut> self(new JackMidiOut());
  self->peer_ = peer;
  self->client_ = JackMidiClient::open("BriscaTool out", JackMidiClient::Direction::Out, *self);
  if (!self->client_) return nullptr;
  const std::size_t buffer =
      jack_port_type_get_buffer_size(self->client_->client(), JACK_DEFAULT_MIDI_TYPE);
  if (buffer <= kBufferSlack) return nullptr;
  self->core_ = std::make_unique<MidiOutCore>(listener, buffer - kBufferSlack);
  if (!self->client_->activate_and_connect(peer)) {
    self->client_->close();
    self->core_.reset();
    return nullptr;
  }
  self->core_->start();
  return self;
}

JackMidiOut::~JackMidiOut() {
  if (core_ && !core_->finished()) (void)close();
}

void JackMidiOut::process(jack_nframes_t frames) {
  void* buffer = jack_port_get_buffer(client_->port(), frames);
  jack_midi_clear_buffer(buffer);
  // This thread sees a new connection only from the server's next graph change on, which a busy
  // server makes some cycles after jack_connect returned: until then messages wait, and only the
  // end of a connection seen counts as loss.
  if (jack_port_connected(client_->port()) > 0) {
    was_connected_ = true;
  } else {
    if (was_connected_ && core_ && !core_->idle()) core_->mark_lost();
    return;
  }
  if (!core_ || core_->idle()) return;
  const double start = cycle_start_us(client_->client());
  const double us_per_frame = 1e6 / static_cast<double>(jack_get_sample_rate(client_->client()));
  if (wire_free_us_ > start + kLongestWaitUs) wire_free_us_ = start;
  jack_nframes_t placed = 0;  // events of one cycle go in time order
  core_->drain([&](bool, const std::uint8_t* data, std::size_t size) {
    // The earliest frame of this cycle at which the wire is free; none: the next cycle.
    const double wait = (wire_free_us_ - start) / us_per_frame;
    const jack_nframes_t at =
        std::max(placed, wait > 0 ? static_cast<jack_nframes_t>(std::ceil(wait)) : 0);
    if (at >= frames) return WriteResult::NoRoom;
    if (jack_midi_max_event_size(buffer) < size) return WriteResult::NoRoom;
    if (jack_midi_event_write(buffer, at, data, size) != 0) return WriteResult::NoRoom;
    placed = at;
    wire_free_us_ = start + at * us_per_frame + static_cast<double>(size) * kWireUsPerByte;
    return WriteResult::Written;
  });
}

std::vector<std::string> JackMidiOut::other_senders() const {
  std::vector<std::string> names;
  if (!client_ || client_->client() == nullptr || core_->lost()) return names;
  jack_port_t* dest = jack_port_by_name(client_->client(), peer_.c_str());
  if (dest == nullptr) return names;
  const std::string ours = jack_port_name(client_->port());
  if (const char** ports = jack_port_get_all_connections(client_->client(), dest)) {
    for (const char** p = ports; *p != nullptr; ++p)
      if (ours != *p) names.emplace_back(*p);
    jack_free(ports);
  }
  return names;
}

bool JackMidiOut::destination_gone() const {
  if (!core_->lost() || server_gone_.load() || !client_ || client_->client() == nullptr)
    return false;
  return jack_port_by_name(client_->client(), peer_.c_str()) == nullptr;
}

Status JackMidiOut::close() {
  if (core_->finished()) return device_error::closed();
  core_->wait_idle(MidiOutCore::kCloseDrain);
  client_->close();
  core_->finish();
  return {};
}

}  // namespace brisca
