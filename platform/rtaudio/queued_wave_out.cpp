#include "platform/rtaudio/queued_wave_out.h"

namespace brisca::rtaudio {

Status QueuedWaveOut::prepare_header(WaveHeader& header) {
  if (closed_) return device_error::closed();
  store_flags(header.flags, load_flags(header.flags) | HDR_PREPARED);
  return {};
}

Status QueuedWaveOut::write(WaveHeader& header) {
  if (closed_) return device_error::closed();
  return queue_.write(header);
}

Status QueuedWaveOut::unprepare_header(WaveHeader& header) {
  const std::uint32_t flags = load_flags(header.flags);
  if ((flags & HDR_INQUEUE) != 0) return device_error::still_queued();
  store_flags(header.flags, flags & ~HDR_PREPARED);
  return {};
}

Status QueuedWaveOut::reset() {
  if (closed_) return device_error::closed();
  queue_.reset();
  return {};
}

void QueuedWaveOut::begin_close() {
  closed_ = true;
  queue_.reset();
  queue_.close_reports();
}

}  // namespace brisca::rtaudio
