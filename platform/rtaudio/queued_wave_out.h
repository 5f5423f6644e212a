// What the wave outputs on a WaveQueue have in common: preparing, writing and resetting go
// straight to the queue; each backend opens its stream and closes it in its own way.
#pragma once

#include "platform/api/devices.h"
#include "platform/rtaudio/wave_queue.h"

namespace brisca::rtaudio {

class QueuedWaveOut : public WaveOutDevice {
 public:
  Status prepare_header(WaveHeader& header) override;
  Status write(WaveHeader& header) override;
  Status unprepare_header(WaveHeader& header) override;
  Status reset() override;

  bool lost() const { return queue_.lost(); }

 protected:
  // `queue` must outlive this object.
  explicit QueuedWaveOut(WaveQueue& queue) : queue_(queue) {}
  bool closed() const { return closed_; }
  // Marks the device closed and hands every queued buffer back, with no report after it.
  void begin_close();

 private:
  WaveQueue& queue_;
  bool closed_ = false;
};

}  // namespace brisca::rtaudio
