#include "platform/rtmidi/jack_midi_out.h"

#include <jack/midiport.h>

namespace brisca {

namespace {
// What an event may take of the port's buffer, leaving room for the buffer's own bookkeeping.
constexpr std::size_t kBufferSlack = 64;
// How long close() lets a message already handed over reach the server.
constexpr std::chrono::milliseconds kCloseDrain{250};
}  // namespace

std::unique_ptr<MidiOutDevice> JackMidiOut::open(const std::string& peer, DeviceCallback callback) {
  std::unique_ptr<JackMidiOut> self(new JackMidiOut());
  self->peer_ = peer;
  self->client_ = JackMidiClient::open("BriscaTool out", JackMidiClient::Direction::Out, *self);
  if (!self->client_) return nullptr;
  const std::size_t buffer =
      jack_port_type_get_buffer_size(self->client_->client(), JACK_DEFAULT_MIDI_TYPE);
  if (buffer <= kBufferSlack) return nullptr;
  self->core_ = std::make_unique<MidiOutCore>(std::move(callback), buffer - kBufferSlack);
  if (!self->client_->activate_and_connect(peer)) {
    self->client_->close();
    self->core_.reset();
    return nullptr;
  }
  self->core_->start();
  return self;
}

JackMidiOut::~JackMidiOut() {
  if (core_ && !core_->finished()) close();
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
  core_->drain([buffer](bool, const std::uint8_t* data, std::size_t size) {
    if (jack_midi_max_event_size(buffer) < size) return WriteResult::NoRoom;
    if (jack_midi_event_write(buffer, 0, data, size) != 0) return WriteResult::NoRoom;
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

int JackMidiOut::close() {
  if (core_->finished()) return MMSYSERR_INVALHANDLE;
  core_->wait_idle(kCloseDrain);
  client_->close();
  core_->finish();
  return 0;
}

}  // namespace brisca
