#include "platform/alsa/alsa_midi_out.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "platform/alsa/alsa_event.h"

namespace brisca {

namespace {
constexpr std::size_t kMaxMessage = 65535;
// A full sequencer queue is waited out this long per attempt; the output's stall limit ends it.
constexpr int kWritableWaitMs = 500;
constexpr int kAttempts = 3;
}  // namespace

std::unique_ptr<MidiOutDevice> AlsaMidiOut::open(int dest_client, int dest_port,
                                                 MidiOutDeviceListener& listener) {
  std::unique_ptr<AlsaMidiOut> self(new AlsaMidiOut());
  if (!self->connect(dest_client, dest_port)) return nullptr;
  self->core_ = std::make_unique<MidiOutCore>(listener, kMaxMessage);
  AlsaMidiOut* raw = self.get();
  self->core_->set_pump([raw] {
    raw->core_->drain([raw](bool is_long, const std::uint8_t* data, std::size_t size) {
      return raw->write(is_long, data, size);
    });
  });
  self->core_->start();
  return self;
}

bool AlsaMidiOut::connect(int dest_client, int dest_port) {
  if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) {
    seq_ = nullptr;
    return false;
  }
  snd_seq_set_client_name(seq_, "BriscaTool");
  port_ =
      snd_seq_create_simple_port(seq_, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                 SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  // The subscription makes a hardware port open its device; events still go to it by address.
  if (port_ < 0 || snd_seq_connect_to(seq_, port_, dest_client, dest_port) < 0 ||
      snd_midi_event_new(16, &encoder_) < 0) {
    release();
    return false;
  }
  dest_client_ = dest_client;
  dest_port_ = dest_port;
  return true;
}

AlsaMidiOut::~AlsaMidiOut() {
  if (core_ && !core_->finished()) (void)close();
  release();
}

void AlsaMidiOut::release() {
  if (encoder_ != nullptr) snd_midi_event_free(encoder_);
  encoder_ = nullptr;
  if (seq_ != nullptr) snd_seq_close(seq_);
  seq_ = nullptr;
}

WriteResult AlsaMidiOut::write(bool is_long, const std::uint8_t* data, std::size_t size) {
  if (is_long) {
    snd_seq_event_t event = raw_bytes_event(data, size, port_, dest_client_, dest_port_);
    return send(event);
  }
  snd_seq_event_t event;
  snd_seq_ev_clear(&event);
  snd_midi_event_reset_encode(encoder_);
  const long used = snd_midi_event_encode(encoder_, data, static_cast<long>(size), &event);
  if (used <= 0 || event.type == SND_SEQ_EVENT_NONE) return WriteResult::Written;  // not MIDI
  snd_seq_ev_set_source(&event, port_);
  snd_seq_ev_set_dest(&event, dest_client_, dest_port_);
  snd_seq_ev_set_direct(&event);
  return send(event);
}

WriteResult AlsaMidiOut::send(snd_seq_event_t& event) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const int result = snd_seq_event_output_direct(seq_, &event);
    if (result >= 0) return WriteResult::Written;
    if (result != -EAGAIN && result != -EINTR) return WriteResult::Lost;
    if (result == -EAGAIN && !wait_writable(kWritableWaitMs)) return WriteResult::NoRoom;
  }
  return WriteResult::NoRoom;
}

bool AlsaMidiOut::wait_writable(int timeout_ms) {
  const int count = snd_seq_poll_descriptors_count(seq_, POLLOUT);
  if (count <= 0) return false;
  std::vector<pollfd> fds(static_cast<std::size_t>(count));
  snd_seq_poll_descriptors(seq_, fds.data(), static_cast<unsigned>(count), POLLOUT);
  return poll(fds.data(), fds.size(), timeout_ms) > 0;
}

std::string AlsaMidiOut::destination() const {
  return "ALSA " + std::to_string(dest_client_) + ":" + std::to_string(dest_port_);
}

namespace {
// "client name:port name" of a sequencer address, or its numbers when it has gone.
std::string port_title(snd_seq_t* seq, const snd_seq_addr_t& addr) {
  std::string title = std::to_string(addr.client) + ":" + std::to_string(addr.port);
  snd_seq_port_info_t* info = nullptr;
  if (snd_seq_port_info_malloc(&info) < 0) return title;
  snd_seq_client_info_t* client = nullptr;
  if (snd_seq_client_info_malloc(&client) >= 0) {
    if (snd_seq_get_any_client_info(seq, addr.client, client) >= 0 &&
        snd_seq_get_any_port_info(seq, addr.client, addr.port, info) >= 0)
      title = std::string(snd_seq_client_info_get_name(client)) + ":" +
              snd_seq_port_info_get_name(info);
    snd_seq_client_info_free(client);
  }
  snd_seq_port_info_free(info);
  return title;
}
}  // namespace

// The sequencer's subscribers that write to the destination port.
std::vector<std::string> AlsaMidiOut::other_senders() const {
  std::vector<std::string> names;
  if (seq_ == nullptr) return names;
  snd_seq_query_subscribe_t* query = nullptr;
  if (snd_seq_query_subscribe_malloc(&query) < 0) return names;
  snd_seq_addr_t root{static_cast<unsigned char>(dest_client_),
                      static_cast<unsigned char>(dest_port_)};
  snd_seq_query_subscribe_set_root(query, &root);
  snd_seq_query_subscribe_set_type(query, SND_SEQ_QUERY_SUBS_WRITE);
  const int own_client = snd_seq_client_id(seq_);
  for (int index = 0;; ++index) {
    snd_seq_query_subscribe_set_index(query, index);
    if (snd_seq_query_port_subscribers(seq_, query) < 0) break;
    const snd_seq_addr_t* addr = snd_seq_query_subscribe_get_addr(query);
    if (addr->client == own_client && addr->port == port_) continue;
    names.push_back(port_title(seq_, *addr));
  }
  snd_seq_query_subscribe_free(query);
  return names;
}

// The sequencer answers about its other ports, but not about the one we sent to.
bool AlsaMidiOut::destination_gone() const {
  if (!core_->lost() || seq_ == nullptr) return false;
  snd_seq_port_info_t* info = nullptr;
  snd_seq_port_info_alloca(&info);
  if (snd_seq_get_any_port_info(seq_, snd_seq_client_id(seq_), port_, info) < 0) return false;
  return snd_seq_get_any_port_info(seq_, dest_client_, dest_port_, info) < 0;
}

Status AlsaMidiOut::close() {
  if (core_->finished()) return device_error::closed();
  core_->wait_idle(MidiOutCore::kCloseDrain);
  core_->finish();  // joins the thread that writes
  release();
  return {};
}

}  // namespace brisca
