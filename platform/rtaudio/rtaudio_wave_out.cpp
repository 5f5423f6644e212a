#include "platform/rtaudio/rtaudio_wave_out.h"

#include <functional>
#include <future>
#include <utility>

namespace brisca::rtaudio {
namespace {

using Clock = std::chrono::steady_clock;
constexpr unsigned kPeriodFrames = 512;  // ~11.6 ms; JACK uses its own period instead
constexpr std::chrono::milliseconds kWatchPeriod{100};

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
// A lost one may be in the hands of RtAudio's own threads (after a JACK shutdown RtAudio closes
// the stream from a thread of its own; after a failed callback it aborts it): wait for them to
// let go before touching it.
void tear_down(RtWaveOut::Stream& stream) {
  RtAudio& audio = *stream.audio;
  try {
    if (!stream.queue.lost()) {
      if (audio.isStreamRunning()) audio.stopStream();
    } else {
      const auto limit = std::chrono::milliseconds(1000);
      wait_until([&] { return !audio.isStreamRunning(); }, limit);
      if (stream.api == RtAudio::UNIX_JACK)
        wait_until([&] { return !audio.isStreamOpen(); }, limit);
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
                                           DeviceCallback callback) {
  auto stream = std::make_shared<Stream>(api, std::move(callback));
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
  device->start_watchdog();
  return device;
}

RtWaveOut::RtWaveOut(std::shared_ptr<Stream> stream) : stream_(std::move(stream)) {}

RtWaveOut::~RtWaveOut() {
  close();
}

int RtWaveOut::prepare_header(WaveHeader& header) {
  if (closed_) return kErrInvalidHandle;
  store_flags(header.flags, load_flags(header.flags) | HDR_PREPARED);
  return 0;
}

int RtWaveOut::write(WaveHeader& header) {
  if (closed_) return kErrInvalidHandle;
  return stream_->queue.write(header);
}

int RtWaveOut::unprepare_header(WaveHeader& header) {
  const std::uint32_t flags = load_flags(header.flags);
  if ((flags & HDR_INQUEUE) != 0) return kErrStillPlaying;
  store_flags(header.flags, flags & ~HDR_PREPARED);
  return 0;
}

int RtWaveOut::reset() {
  if (closed_) return kErrInvalidHandle;
  stream_->queue.reset();
  return 0;
}

int RtWaveOut::close() {
  if (closed_) return kErrInvalidHandle;
  closed_ = true;
  stop_watchdog();
  stream_->queue.reset();
  stream_->queue.close_reports();
  auto finished = std::make_shared<std::promise<void>>();
  std::future<void> done = finished->get_future();
  std::thread closer([stream = stream_, finished] {
    tear_down(*stream);
    finished->set_value();
  });
  if (done.wait_for(kCloseLimit) == std::future_status::ready)
    closer.join();
  else
    closer.detach();  // the backend hangs; the stream is freed if it ever returns
  return 0;
}

void RtWaveOut::start_watchdog() {
  watchdog_ = std::thread([this] { watch(); });
}

void RtWaveOut::stop_watchdog() {
  {
    std::lock_guard lock(watch_mutex_);
    watch_stop_ = true;
  }
  watch_wake_.notify_all();
  if (watchdog_.joinable()) watchdog_.join();
}

void RtWaveOut::watch() {
  WaveQueue& queue = stream_->queue;
  RtAudio& audio = *stream_->audio;
  std::uint64_t periods = queue.periods();
  auto last_period = Clock::now();
  std::unique_lock lock(watch_mutex_);
  while (!watch_wake_.wait_for(lock, kWatchPeriod, [this] { return watch_stop_; })) {
    if (queue.lost()) continue;
    const auto now = Clock::now();
    if (queue.periods() != periods) {
      periods = queue.periods();
      last_period = now;
    }
    if (!audio.isStreamOpen() || !audio.isStreamRunning() || now - last_period >= kStallLimit)
      queue.fail();
  }
}

}  // namespace brisca::rtaudio
