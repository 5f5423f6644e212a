// A wave output on one RtAudio device: 44 100 Hz, mono, 16-bit. The stream runs from open to
// close and plays silence while no buffer is queued, so a written buffer starts within one
// period. A watchdog thread notices a stream that stopped calling back (a JACK server that
// shut down, a sound server that hangs); the queue notices one that fails or spins. Either way
// the device counts as lost: queued buffers come back done and writes fail, so a preview ends
// instead of waiting for buffers that never finish.
#pragma once

#include <RtAudio.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/api/devices.h"
#include "platform/rtaudio/wave_queue.h"

namespace brisca::rtaudio {

class RtWaveOut : public WaveOutDevice {
 public:
  // Opens and starts the stream on device `device_id` of `api`; null when that fails.
  static std::unique_ptr<RtWaveOut> open(RtAudio::Api api, unsigned device_id,
                                         DeviceCallback callback);
  ~RtWaveOut() override;

  int prepare_header(WaveHeader& header) override;
  int write(WaveHeader& header) override;
  int unprepare_header(WaveHeader& header) override;
  int reset() override;
  int close() override;

  bool lost() const { return stream_->queue.lost(); }

  // How long close() waits for the backend to let go; past it the stream is left to finish on
  // its own thread, so a server that hangs cannot hang the caller.
  static constexpr std::chrono::milliseconds kCloseLimit{2000};
  // A running stream that has not called back for this long is lost.
  static constexpr std::chrono::milliseconds kStallLimit{2000};

  struct Stream {
    explicit Stream(RtAudio::Api a, DeviceCallback callback) : api(a), queue(std::move(callback)) {}
    RtAudio::Api api;
    WaveQueue queue;
    std::unique_ptr<RtAudio> audio;
  };

 private:
  explicit RtWaveOut(std::shared_ptr<Stream> stream);
  void start_watchdog();
  void stop_watchdog();
  void watch();

  std::shared_ptr<Stream> stream_;
  bool closed_ = false;
  std::mutex watch_mutex_;
  std::condition_variable watch_wake_;
  bool watch_stop_ = false;
  std::thread watchdog_;
};

}  // namespace brisca::rtaudio
