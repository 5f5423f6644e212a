#include "platform/jack/jack_midi_in.h"

#include <jack/midiport.h>

namespace brisca {

std::unique_ptr<MidiInDevice> JackMidiIn::open(const std::string& peer,
                                               MidiInDeviceListener& listener) {
  std::unique_ptr<JackMidiIn> self(new JackMidiIn(listener));
  self->client_ = JackMidiClient::open("BriscaTool in", JackMidiClient::Direction::In, *self);
  if (!self->client_) return nullptr;
  if (!self->client_->activate_and_connect(peer)) {
    // Deactivate before the client goes: the process callback reads client_ until then.
    self->client_->close();
    self->client_.reset();
    return nullptr;
  }
  self->core_.begin();
  return self;
}

JackMidiIn::~JackMidiIn() {
  if (client_ && !core_.finished()) (void)close();
}

void JackMidiIn::process(jack_nframes_t frames) {
  // The connection is made just after processing starts; only its end counts as loss.
  if (jack_port_connected(client_->port()) > 0)
    was_connected_ = true;
  else if (was_connected_ && !core_.lost())
    core_.mark_lost();
  void* buffer = jack_port_get_buffer(client_->port(), frames);
  const jack_nframes_t count = jack_midi_get_event_count(buffer);
  for (jack_nframes_t i = 0; i < count; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, buffer, i) == 0) core_.push(event.buffer, event.size);
  }
}

Status JackMidiIn::close() {
  if (core_.finished()) return device_error::closed();
  client_->close();
  core_.finish();
  return {};
}

}  // namespace brisca
