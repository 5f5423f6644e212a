#include "platform/alsa/seq_announce.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace brisca {
namespace {

class AlsaAnnounceSource final : public SeqEventSource {
 public:
  explicit AlsaAnnounceSource(snd_seq_t* seq) : seq_(seq) {}
  ~AlsaAnnounceSource() override { snd_seq_close(seq_); }
  AlsaAnnounceSource(const AlsaAnnounceSource&) = delete;
  AlsaAnnounceSource& operator=(const AlsaAnnounceSource&) = delete;

  std::vector<SeqPort> ports() override {
    std::vector<SeqPort> found;
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq_, client) >= 0) {
      snd_seq_port_info_set_client(port, snd_seq_client_info_get_client(client));
      snd_seq_port_info_set_port(port, -1);
      while (snd_seq_query_next_port(seq_, port) >= 0)
        found.push_back(describe(snd_seq_client_info_get_name(client), port));
    }
    return found;
  }

  std::optional<SeqAnnounce> next(std::chrono::milliseconds wait) override {
    const auto until = std::chrono::steady_clock::now() + wait;
    for (;;) {
      snd_seq_event_t* event = nullptr;
      const int result = snd_seq_event_input(seq_, &event);
      if (result >= 0 && event != nullptr) {
        if (std::optional<SeqAnnounce> notice = read(*event)) return notice;
        continue;
      }
      if (result != -EAGAIN && result != -ENOSPC) return std::nullopt;  // -ENOSPC: overrun
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          until - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !readable(static_cast<int>(left.count()))) return std::nullopt;
    }
  }

 private:
  static SeqPort describe(const char* client_name, const snd_seq_port_info_t* info) {
    return SeqPort{
        snd_seq_port_info_get_client(info),        snd_seq_port_info_get_port(info),
        client_name != nullptr ? client_name : "", snd_seq_port_info_get_name(info),
        snd_seq_port_info_get_type(info),          snd_seq_port_info_get_capability(info)};
  }

  std::optional<SeqAnnounce> read(const snd_seq_event_t& event) {
    const snd_seq_addr_t& at = event.data.addr;
    if (event.type == SND_SEQ_EVENT_PORT_EXIT)
      return SeqAnnounce{SeqAnnounce::Kind::PortExit, SeqPort{at.client, at.port, {}, {}, 0, 0}};
    if (event.type != SND_SEQ_EVENT_PORT_START) return std::nullopt;
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    // A port gone again before it could be asked is passed over: its exit follows.
    if (snd_seq_get_any_client_info(seq_, at.client, client) < 0 ||
        snd_seq_get_any_port_info(seq_, at.client, at.port, port) < 0)
      return std::nullopt;
    return SeqAnnounce{SeqAnnounce::Kind::PortStart,
                       describe(snd_seq_client_info_get_name(client), port)};
  }

  bool readable(int timeout_ms) {
    const int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
    if (count <= 0) return false;
    std::vector<pollfd> fds(static_cast<std::size_t>(count));
    snd_seq_poll_descriptors(seq_, fds.data(), static_cast<unsigned>(count), POLLIN);
    return poll(fds.data(), fds.size(), timeout_ms) > 0;
  }

  snd_seq_t* seq_;
};

}  // namespace

std::unique_ptr<SeqEventSource> open_seq_announcements() {
  if (access("/dev/snd/seq", R_OK | W_OK) != 0) return nullptr;
  snd_seq_t* seq = nullptr;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0) return nullptr;
  snd_seq_set_client_name(seq, "BriscaTool watch");
  const int port = snd_seq_create_simple_port(seq, "announce",
                                              SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                              SND_SEQ_PORT_TYPE_APPLICATION);
  if (port < 0 ||
      snd_seq_connect_from(seq, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE) < 0) {
    snd_seq_close(seq);
    return nullptr;
  }
  return std::make_unique<AlsaAnnounceSource>(seq);
}

}  // namespace brisca
