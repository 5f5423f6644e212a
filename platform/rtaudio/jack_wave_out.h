// A wave output on JACK through a client of our own (libjack directly): 44 100 Hz mono, one
// port connected to the first two audio inputs of the chosen client, so a stereo output sounds on
// both sides. RtAudio's JACK stream is not used for playing: its client can hang inside libjack
// when the server stops in order. The server's process thread renders from the queue; the
// server's shutdown notice, or a process thread that stands still, makes the device lost.
#pragma once

#include <jack/jack.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/rtaudio/queued_wave_out.h"
#include "platform/rtaudio/stall_watch.h"

namespace brisca::rtaudio {

class JackWaveOut : public QueuedWaveOut {
 public:
  // Opens a client on the running server (never starting one) and connects it to `device`, a
  // JACK client with audio inputs; null when there is no server, it does not run at 44 100 Hz,
  // or `device` has no audio input.
  static std::unique_ptr<JackWaveOut> open(const std::string& device,
                                           WaveOutDeviceListener& listener);
  ~JackWaveOut() override;

  // Waits a bounded time for libjack to let go (close_bounded); past it the client is left to
  // its thread.
  Status close() override;

  // A client whose process thread has not run for this long is lost.
  static constexpr std::chrono::milliseconds kStallLimit{2000};

  struct Client;

 private:
  explicit JackWaveOut(std::shared_ptr<Client> client);

  std::shared_ptr<Client> client_;
  std::unique_ptr<StallWatch> watchdog_;
};

// The ports a mono output of ours goes to on `device`: its first two audio inputs, in the order
// the server lists them (the left and right of a stereo output; the one input of a mono one).
std::vector<std::string> playback_ports(jack_client_t* client, const std::string& device);

}  // namespace brisca::rtaudio
