// A wave output on one RtAudio device (PulseAudio or ALSA; JACK has an output of its own, see
// jack_wave_out.h): 44 100 Hz, mono, 16-bit. The stream runs from open to close and plays
// silence while no buffer is queued, so a written buffer starts within one period. A watchdog
// notices a stream that stopped calling back (a sound server that hangs); the queue notices one
// that fails or spins. Either way the device counts as lost: queued buffers come back done and
// writes fail, so a preview ends instead of waiting for buffers that never finish.
#pragma once

#include <RtAudio.h>

#include <memory>

#include "platform/api/devices.h"
#include "platform/rtaudio/queued_wave_out.h"
#include "platform/rtaudio/stall_watch.h"
#include "platform/rtaudio/wave_queue.h"

namespace brisca::rtaudio {

class RtWaveOut : public QueuedWaveOut {
 public:
  // Opens and starts the stream on device `device_id` of `api`; null when that fails.
  static std::unique_ptr<RtWaveOut> open(RtAudio::Api api, unsigned device_id,
                                         WaveOutDeviceListener& listener);
  ~RtWaveOut() override;

  // Waits a bounded time for the backend to let go (close_bounded); past it the stream is left
  // to finish on its own thread, so a server that hangs cannot hang the caller.
  Status close() override;

  // A running stream that has not called back for this long is lost.
  static constexpr std::chrono::milliseconds kStallLimit{2000};

  struct Stream {
    Stream(RtAudio::Api a, WaveOutDeviceListener& listener) : api(a), queue(listener) {}
    RtAudio::Api api;
    WaveQueue queue;
    std::unique_ptr<RtAudio> audio;
  };

 private:
  explicit RtWaveOut(std::shared_ptr<Stream> stream);

  std::shared_ptr<Stream> stream_;
  std::unique_ptr<StallWatch> watchdog_;
};

}  // namespace brisca::rtaudio
