#include "platform/rtaudio/wave_queue.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace brisca::rtaudio {
namespace {

void mark_done(WaveHeader& header) {
  const std::uint32_t flags = load_flags(header.flags);
  store_flags(header.flags, (flags & ~HDR_INQUEUE) | HDR_DONE);
}

}  // namespace

WaveQueue::WaveQueue(WaveOutDeviceListener& listener)
    : listener_(listener), allowance_(kBurstSeconds * kSampleRate) {}

Status WaveQueue::write(WaveHeader& header) {
  const std::uint32_t flags = load_flags(header.flags);
  if ((flags & HDR_PREPARED) == 0) return device_error::unprepared();
  if ((flags & HDR_INQUEUE) != 0) return device_error::still_queued();
  if (header.data == nullptr && header.buffer_length > 0) return device_error::bad_buffer();
  if (lost()) return device_error::lost();
  std::lock_guard lock(mutex_);
  if (size_ + played_count_ >= kCapacity) return device_error::no_room();
  store_flags(header.flags, (flags & ~HDR_DONE) | HDR_INQUEUE);
  ring_[(head_ + size_) % kCapacity] = &header;
  ++size_;
  return {};
}

std::size_t WaveQueue::take_all(std::array<WaveHeader*, kCapacity>& out) {
  std::lock_guard lock(mutex_);
  std::size_t count = 0;
  for (std::size_t i = 0; i < played_count_; ++i) out[count++] = played_[i];
  for (std::size_t i = 0; i < size_; ++i) out[count++] = ring_[(head_ + i) % kCapacity];
  played_count_ = 0;
  head_ = 0;
  size_ = 0;
  played_bytes_ = 0;
  return count;
}

void WaveQueue::reset() {
  std::array<WaveHeader*, kCapacity> taken{};
  const std::size_t count = take_all(taken);
  for (std::size_t i = 0; i < count; ++i) mark_done(*taken[i]);
  report_done(taken.data(), count);
}

void WaveQueue::fail() {
  lost_.store(true, std::memory_order_release);
  reset();
}

void WaveQueue::close_reports() {
  std::lock_guard lock(report_mutex_);
  reports_closed_ = true;
}

bool WaveQueue::idle() const {
  std::lock_guard lock(mutex_);
  return size_ == 0 && played_count_ == 0;
}

void WaveQueue::report_done(WaveHeader* const* headers, std::size_t count) {
  if (count == 0) return;
  std::lock_guard lock(report_mutex_);
  if (reports_closed_) return;
  for (std::size_t i = 0; i < count; ++i) listener_.block_done(*headers[i]);
}

void WaveQueue::copy_queued(std::int16_t* out, std::size_t frames, std::size_t& written,
                            std::array<WaveHeader*, kCapacity>& finished, std::size_t& count) {
  std::lock_guard lock(mutex_);
  // The device has taken the last period: what ended in it has been played.
  for (std::size_t i = 0; i < played_count_; ++i) {
    mark_done(*played_[i]);
    finished[count++] = played_[i];
  }
  played_count_ = 0;
  while (written < frames && size_ > 0) {
    WaveHeader& header = *ring_[head_];
    const std::size_t total = header.buffer_length / 2;  // whole samples
    const std::size_t left = total - std::min(total, played_bytes_ / 2);
    const std::size_t n = std::min(left, frames - written);
    if (n > 0) {
      std::memcpy(out + written, header.data + played_bytes_, n * 2);
      written += n;
      played_bytes_ += n * 2;
    }
    if (n == left) {
      played_[played_count_++] = &header;
      head_ = (head_ + 1) % kCapacity;
      --size_;
      played_bytes_ = 0;
    }
  }
}

bool WaveQueue::render(std::int16_t* out, std::size_t frames, Clock::time_point now) {
  periods_.fetch_add(1, std::memory_order_relaxed);
  if (!lost() && (backend_keeps_failing() || runs_too_fast(frames, now))) fail();
  std::size_t written = 0;
  std::array<WaveHeader*, kCapacity> finished{};
  std::size_t count = 0;
  if (!lost()) copy_queued(out, frames, written, finished, count);
  std::fill(out + written, out + frames, std::int16_t{0});
  report_done(finished.data(), count);
  return !lost();
}

bool WaveQueue::backend_keeps_failing() {
  if (backend_errors_.exchange(0, std::memory_order_relaxed) > 0)
    ++failed_periods_;
  else
    failed_periods_ = 0;
  return failed_periods_ >= kFailedPeriodsLimit;
}

// A token bucket: real time earns kRateAllowance frames per frame of time, up to the burst; each
// period spends its frames. A stream whose server is gone calls back without waiting and empties
// the bucket within milliseconds; a healthy one never comes near the bottom.
bool WaveQueue::runs_too_fast(std::size_t frames, Clock::time_point now) {
  if (last_render_ != Clock::time_point{}) {
    const double seconds = std::chrono::duration<double>(now - last_render_).count();
    allowance_ = std::min(kBurstSeconds * kSampleRate,
                          allowance_ + std::max(0.0, seconds) * kRateAllowance * kSampleRate);
  }
  last_render_ = now;
  allowance_ -= static_cast<double>(frames);
  return allowance_ < 0.0;
}

}  // namespace brisca::rtaudio
