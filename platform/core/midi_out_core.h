// The device-independent half of a MIDI output: checks and queues the caller's messages,
// hands them one by one to the backend's writer, and reports to the device's listener (opened,
// done, closed) from a thread of its own.
//
// Threads: the caller (submit, prepare, unprepare, finish); one consumer that calls drain()
// (a library's real-time thread, or the reporting thread itself when the backend sets a pump);
// the reporting thread. mark_lost() may come from anywhere. Nothing the consumer calls locks
// or allocates.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "platform/api/devices.h"
#include "platform/core/record_ring.h"
#include "platform/core/wakeup.h"

namespace brisca {

enum class WriteResult {
  Written,  // the device has taken every byte
  NoRoom,   // try the same message again later
  Lost,     // the device or its server is gone
};

class MidiOutCore {
 public:
  // A message that waits this long with nothing written counts as a lost device.
  static constexpr std::chrono::milliseconds kStallLimit{2000};

  // `max_message`: the longest message the device can take in one write.
  MidiOutCore(MidiOutDeviceListener& listener, std::size_t max_message);
  ~MidiOutCore();
  MidiOutCore(const MidiOutCore&) = delete;
  MidiOutCore& operator=(const MidiOutCore&) = delete;

  // Called on the reporting thread at every wake-up, before reports; backends whose writes may
  // block put their drain() here.
  void set_pump(std::function<void()> pump) { pump_ = std::move(pump); }
  // Starts the reporting thread, which reports opened() first.
  void start();

  Status prepare(MidiHeader& header);
  Status unprepare(MidiHeader& header);
  Status submit(MidiHeader& header);
  Status submit_short(std::uint32_t packed);

  void mark_lost();
  // Loss where the consumer is known to have stopped for good (the server's shutdown notice):
  // the reporting thread then takes its place and lets the unsent messages' headers go.
  void consumer_gone();
  bool lost() const { return lost_.load(std::memory_order_acquire); }
  // True when nothing waits to be written.
  bool idle() const { return pending_.empty(); }
  // Waits until idle, lost, or `limit` has passed since a message last went out (and at most
  // kCloseDrainMost); returns idle().
  bool wait_idle(std::chrono::milliseconds limit) const;
  // How long an output's close() lets messages already handed over reach the device: a device
  // that takes none of them for this long is given up on.
  static constexpr std::chrono::milliseconds kCloseDrain{250};
  static constexpr std::chrono::milliseconds kCloseDrainMost{3000};

  // Consumer. `write(is_long, bytes, size)` returns a WriteResult; is_long is false for a
  // short message. Messages go in order, each whole.
  template <class Writer>
  void drain(Writer&& write);

  // Call once the consumer has stopped for good: reports what went out, closed() (unless a loss
  // already did), then stops reporting. Messages never written leave the queue unreported.
  void finish();
  bool finished() const { return finished_; }

 private:
  struct DoneRecord;
  void run();
  void report_done();
  void check_stall();
  void on_written(std::uintptr_t tag);
  void on_abandoned(std::uintptr_t tag);
  void abandon_pending();

  MidiOutDeviceListener& listener_;
  std::size_t max_message_;
  std::function<void()> pump_;
  RecordRing pending_;  // caller -> consumer: tag is the header (0 for a short message)
  RecordRing done_;     // consumer -> reporter: tag is the header, one byte: went out?
  std::vector<std::uint8_t> scratch_;  // consumer's copy of the message being written
  Wakeup wake_;
  std::atomic<bool> lost_{false};
  std::atomic<bool> consumer_gone_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<std::uint64_t> written_{0};
  bool close_reported_ = false;  // reporting thread only, as are the two below
  std::uint64_t stall_written_ = 0;
  std::chrono::steady_clock::time_point stall_since_ = std::chrono::steady_clock::now();
  bool finished_ = false;
  std::thread reporter_;
};

template <class Writer>
void MidiOutCore::drain(Writer&& write) {
  RecordRing::Record record;
  while (done_.has_room(1) && pending_.peek(record, scratch_.data())) {
    if (lost()) {
      pending_.pop();
      on_abandoned(record.tag);
      continue;
    }
    const WriteResult result = write(record.tag != 0, scratch_.data(), record.size);
    if (result == WriteResult::NoRoom) return;
    if (result == WriteResult::Lost) {
      mark_lost();
      continue;
    }
    pending_.pop();
    on_written(record.tag);
  }
}

}  // namespace brisca
