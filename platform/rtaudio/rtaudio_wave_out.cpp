#include "platform/rtaudio/rtaudio_wave_out.h"

#include <functional>
#include <thread>
#include <utility>

#include "platform/core/bounded_close.h"

namespace brisca::rtaudio {
namespace {

using Clock = std::chrono::steady_clock;
constexpr unsigned kPeriodFrames = 512;  // ~11.6 ms

// RtAudio's error callback carries no user data. Errors that matter to a stream are raised on
// the stream's own thread right after its callback returned, so the callback leaves its queue
// here for them; errors raised on other threads show in the stream's state instead.
thread_local WaveQueue* t_stream_queue = nullptr;

int on_audio(void* output, void* /*input*/, unsigned frames, double /*time*/,
             RtAudioStreamStatus /*status*/, void* user) {
  auto* queue = static_cast<WaveQueue*>(user);
  t_stream_queue = queue;
  return queue->render(static_cast<std::int16_t*>(output), frames, Clock::now()) ? 0 : 2;
}

void on_error(RtAudioError::Type type, const std::string& /*text*/) {
  if (t_stream_queue == nullptr) return;
  if (type == RtAudioError::WARNING || type == RtAudioError::DEBUG_WARNING)
    t_stream_queue->note_backend_error();
  else
    t_stream_queue->fail();  // RtAudio stops the stream's thread itself
}

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!condition()) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Ends the stream and frees it. A healthy stream first plays out what the backend still holds.
// A lost one may be in the hands of RtAudio's own thread (after a failed callback it aborts the
// stream): wait for it to let go before touching it.
void tear_down(RtWaveOut::Stream& stream) {
  RtAudio& audio = *stream.audio;
  try {
    if (!stream.queue.lost()) {
      if (audio.isStreamRunning()) audio.stopStream();
    } else {
      const auto limit = std::chrono::milliseconds(1000);
      wait_until([&] { return !audio.isStreamRunning(); }, limit);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (audio.isStreamRunning()) audio.abortStream();
    }
    if (audio.isStreamOpen()) audio.closeStream();
  } catch (const RtAudioError&) {
    // With an error callback RtAudio reports instead of throwing; this is a second guard.
  }
  stream.audio.reset();
}

}  // namespace

std::unique_ptr<RtWaveOut> RtWaveOut::open(RtAudio::Api api, unsigned device_id,
                                           WaveOutDeviceListener& listener) {
  auto stream = std::make_shared<Stream>(api, listener);
  try {
    stream->audio = std::make_unique<RtAudio>(api);
    RtAudio& audio = *stream->audio;
    audio.showWarnings(false);
    RtAudio::StreamParameters params;
    params.deviceId = device_id;
    params.nChannels = 1;
    unsigned frames = kPeriodFrames;
    RtAudio::StreamOptions options;
    options.streamName = "BriscaTool";
    audio.openStream(&params, nullptr, RTAUDIO_SINT16, kSampleRate, &frames, &on_audio,
                     &stream->queue, &options, &on_error);
    if (!audio.isStreamOpen()) return nullptr;
    audio.startStream();
    if (!audio.isStreamRunning()) {
      audio.closeStream();
      return nullptr;
    }
  } catch (const RtAudioError&) {
    return nullptr;
  }
  std::unique_ptr<RtWaveOut> device(new RtWaveOut(std::move(stream)));
  RtAudio* audio = device->stream_->audio.get();
  device->watchdog_ = std::make_unique<StallWatch>(
      device->stream_->queue,
      [audio] { return !audio->isStreamOpen() || !audio->isStreamRunning(); }, kStallLimit);
  return device;
}

RtWaveOut::RtWaveOut(std::shared_ptr<Stream> stream)
    : QueuedWaveOut(stream->queue), stream_(std::move(stream)) {}

RtWaveOut::~RtWaveOut() {
  (void)close();
}

Status RtWaveOut::close() {
  if (closed()) return device_error::closed();
  if (watchdog_) watchdog_->stop();
  begin_close();
  // Past the limit the stream is left to its thread and freed if the backend ever returns.
  close_bounded([stream = stream_] { tear_down(*stream); });
  return {};
}

}  // namespace brisca::rtaudio
