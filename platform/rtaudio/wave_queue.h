// The buffers written to a wave device and not yet played, shared between the window's thread
// (write, reset, close) and the audio thread (render). The audio thread copies samples out of
// the queued buffers in the order they were written and reports each finished buffer to the
// device's listener; nothing it does waits on the window's thread for longer
// than the few pointer moves the window's thread does under the same lock.
//
// A buffer whose last samples went into a period is reported done at the next period, once the
// device has taken the one before: a caller that closes the device when the last buffer is done
// would otherwise cut off the final period.
//
// The queue also decides when the device is gone: a backend that fails period after period, or
// that asks for samples far faster than real time (a stream whose server died keeps calling back
// in a tight loop), or a watchdog that sees no period at all. A lost queue hands every queued
// buffer back done, takes no more buffers and renders silence.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "platform/api/devices.h"

namespace brisca::rtaudio {

inline constexpr int kSampleRate = 44100;

class WaveQueue {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kCapacity = 16;
  // A backend error in this many periods in a row means the device is gone.
  static constexpr int kFailedPeriodsLimit = 8;
  // Samples may run ahead of real time by this much (a server filling its buffer at start) ...
  static constexpr double kBurstSeconds = 4.0;
  // ... and are allowed at up to this multiple of real time after that.
  static constexpr double kRateAllowance = 2.0;

  explicit WaveQueue(WaveOutDeviceListener& listener);
  WaveQueue(const WaveQueue&) = delete;
  WaveQueue& operator=(const WaveQueue&) = delete;

  // Window's thread. Queues a prepared buffer: it loses its done flag and plays after the ones
  // written before it. Buffers played out but not yet reported still take their place.
  Status write(WaveHeader& header);
  // Window's thread. Every queued buffer comes back done, each reported.
  void reset();
  // No report starts after this returns (a report in progress on the audio thread has ended).
  void close_reports();

  // Audio thread: writes `frames` samples (silence where no buffer is queued). Returns false when
  // the device is lost and the stream should stop calling.
  bool render(std::int16_t* out, std::size_t frames, Clock::time_point now);
  // Audio thread: the backend could not hand the last period on.
  void note_backend_error() { backend_errors_.fetch_add(1, std::memory_order_relaxed); }

  // Any thread: the device is gone. Queued buffers come back done, each reported.
  void fail();
  bool lost() const { return lost_.load(std::memory_order_acquire); }
  // Periods rendered so far: a watchdog that sees this stand still knows the stream stalled.
  std::uint64_t periods() const { return periods_.load(std::memory_order_relaxed); }
  bool idle() const;

 private:
  std::size_t take_all(std::array<WaveHeader*, kCapacity>& out);
  void copy_queued(std::int16_t* out, std::size_t frames, std::size_t& written,
                   std::array<WaveHeader*, kCapacity>& finished, std::size_t& count);
  bool runs_too_fast(std::size_t frames, Clock::time_point now);
  bool backend_keeps_failing();
  void report_done(WaveHeader* const* headers, std::size_t count);

  WaveOutDeviceListener& listener_;

  mutable std::mutex mutex_;  // the ring below; held only for pointer moves and one copy
  std::array<WaveHeader*, kCapacity> ring_{};
  std::size_t head_ = 0, size_ = 0;
  std::size_t played_bytes_ = 0;  // of the buffer at head_
  // Buffers played out in the last period, reported done at the next one (written order).
  std::array<WaveHeader*, kCapacity> played_{};
  std::size_t played_count_ = 0;

  std::mutex report_mutex_;  // a report and close_reports never overlap
  bool reports_closed_ = false;

  std::atomic<bool> lost_{false};
  std::atomic<std::uint64_t> periods_{0};
  std::atomic<int> backend_errors_{0};
  int failed_periods_ = 0;  // audio thread only
  double allowance_ = 0.0;  // audio thread only: frames the stream may still run ahead
  Clock::time_point last_render_{};
};

}  // namespace brisca::rtaudio
