// The ALSA sequencer events our MIDI out writes. A long message goes as one SysEx event that
// carries exactly its bytes, whatever they are; the sequencer passes such an event on without
// looking into it, so a middle piece of a SysEx reaches the device as it is.
#pragma once

#include <alsa/asoundlib.h>

#include <cstddef>
#include <cstdint>

namespace brisca {

// A direct (unqueued) event from our port `source` to `dest_client`:`dest_port`.
snd_seq_event_t raw_bytes_event(const std::uint8_t* data, std::size_t size, int source,
                                int dest_client, int dest_port);

}  // namespace brisca
