#include "platform/rtaudio/queued_wave_out.h"

namespace brisca::rtaudio {

int QueuedWaveOut::prepare_header(WaveHeader& header) {
  if (closed_) return kErrInvalidHandle;
  store_flags(header.flags, load_flags(header.flags) | HDR_PREPARED);
  return 0;
}

int QueuedWaveOut::write(WaveHeader& header) {
  if (closed_) return kErrInvalidHandle;
  return queue_.write(header);
}

int QueuedWaveOut::unprepare_header(WaveHeader& header) {
  const std::uint32_t flags = load_flags(header.flags);
  if ((flags & HDR_INQUEUE) != 0) return kErrStillPlaying;
  store_flags(header.flags, flags & ~HDR_PREPARED);
  return 0;
}

int QueuedWaveOut::reset() {
  if (closed_) return kErrInvalidHandle;
  queue_.reset();
  return 0;
}

void QueuedWaveOut::begin_close() {
  closed_ = true;
  queue_.reset();
  queue_.close_reports();
}

}  // namespace brisca::rtaudio
