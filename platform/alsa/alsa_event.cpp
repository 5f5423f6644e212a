#include "platform/alsa/alsa_event.h"

namespace brisca {

snd_seq_event_t raw_bytes_event(const std::uint8_t* data, std::size_t size, int source,
                                int dest_client, int dest_port) {
  snd_seq_event_t event;
  snd_seq_ev_clear(&event);
  snd_seq_ev_set_source(&event, source);
  snd_seq_ev_set_dest(&event, dest_client, dest_port);
  snd_seq_ev_set_direct(&event);
  // The event only points at the bytes; the library copies them when it writes the event.
  snd_seq_ev_set_sysex(&event, static_cast<unsigned int>(size), const_cast<std::uint8_t*>(data));
  return event;
}

}  // namespace brisca
