// The device-independent half of a MIDI input: takes the raw bytes a library delivers (from its
// own thread, without ever blocking it), splits them into messages on a worker thread, fills
// the caller's buffers with SysEx, and reports to the device's listener (opened, data, sysex,
// closed).
//
// Bytes go from the library's thread to the worker through a lock-free ring; when it is full,
// or input is stopped, the piece that does not fit is dropped whole and counted. The caller's
// buffers are shared between the caller and the worker under a mutex the library never takes.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/api/devices.h"
#include "platform/core/midi_stream.h"
#include "platform/core/record_ring.h"
#include "platform/core/wakeup.h"

namespace brisca {

class MidiInCore : private MidiStreamParser::Sink {
 public:
  // How long a SysEx with no buffer to fill waits for one before the rest of it is dropped.
  static constexpr std::chrono::milliseconds kBufferWait{1000};
  static constexpr std::size_t kRingBytes = 256 * 1024;

  explicit MidiInCore(MidiInDeviceListener& listener, std::size_t ring_bytes = kRingBytes,
                      std::chrono::milliseconds buffer_wait = kBufferWait);
  ~MidiInCore() override;
  MidiInCore(const MidiInCore&) = delete;
  MidiInCore& operator=(const MidiInCore&) = delete;

  // Starts the worker, which reports opened() first.
  void begin();
  // The library's thread: never blocks or allocates. False when the piece was dropped.
  bool push(const std::uint8_t* data, std::size_t n);

  Status prepare(MidiHeader& header);
  Status add_buffer(MidiHeader& header);
  Status start();
  Status stop();
  Status reset();
  Status unprepare(MidiHeader& header);
  // Call once the library has stopped delivering: returns the queued buffers as reset() does,
  // reports closed() (unless a loss already did) and stops the worker. No report follows.
  void finish();
  bool finished() const { return finished_; }

  // The device or its server is gone (any thread, the library's real-time one too): the worker
  // reports closed() once, soon after.
  void mark_lost();
  bool lost() const { return lost_.load(std::memory_order_acquire); }

  std::uint64_t dropped_pieces() const { return dropped_pieces_.load(); }
  std::uint64_t dropped_sysex() const { return dropped_sysex_.load(); }
  // Messages lost because they came faster than they could be taken: pieces that found the
  // ring full, and SysEx that found no buffer.
  std::uint64_t dropped_messages() const { return dropped_pieces() + dropped_sysex(); }
  std::uint64_t dropped_bytes() const { return dropped_bytes_.load(); }

 private:
  void run();
  void take_pieces();
  void short_message(std::uint32_t packed) override;
  void sysex_bytes(const std::uint8_t* data, std::size_t n) override;
  void sysex_end(bool terminated) override;
  MidiHeader* buffer_for_sysex(std::unique_lock<std::mutex>& lock);
  void deliver_front(std::unique_lock<std::mutex>& lock);
  void return_all_buffers();
  bool current_epoch() const { return epoch_.load(std::memory_order_acquire) == feed_epoch_; }
  std::uint64_t timestamp() const;

  MidiInDeviceListener& listener_;
  std::chrono::milliseconds buffer_wait_;
  RecordRing ring_;
  Wakeup wake_;
  std::atomic<bool> started_{false};
  std::atomic<bool> quit_{false};
  std::atomic<bool> lost_{false};
  std::atomic<bool> close_reported_{false};
  std::atomic<std::uint32_t> epoch_{0};  // raised by stop() and reset(): drop what is in hand
  std::atomic<std::int64_t> start_ns_{0};
  std::atomic<std::uint64_t> dropped_pieces_{0};
  std::atomic<std::uint64_t> dropped_sysex_{0};
  std::atomic<std::uint64_t> dropped_bytes_{0};  // the parser's count, published by the worker

  std::mutex mutex_;  // guards the queue and starved_
  std::condition_variable buffer_added_;
  std::deque<MidiHeader*> queue_;
  bool starved_ = false;  // a SysEx found no buffer in time; later ones do not wait

  // Worker only.
  MidiStreamParser parser_;
  std::vector<std::uint8_t> scratch_;
  std::uint32_t feed_epoch_ = 0;
  bool dropping_sysex_ = false;

  bool finished_ = false;
  std::thread worker_;
};

// A MIDI input whose buffers, start and stop the core does: each backend adds how it opens,
// feeds the core and closes.
class CoreMidiIn : public MidiInDevice {
 public:
  Status prepare_header(MidiHeader& header) override { return core_.prepare(header); }
  Status add_buffer(MidiHeader& header) override { return core_.add_buffer(header); }
  Status start() override { return core_.start(); }
  Status stop() override { return core_.stop(); }
  Status reset() override { return core_.reset(); }
  Status unprepare_header(MidiHeader& header) override { return core_.unprepare(header); }
  std::uint64_t dropped() const override { return core_.dropped_messages(); }

 protected:
  explicit CoreMidiIn(MidiInDeviceListener& listener) : core_(listener) {}

  MidiInCore core_;
};

}  // namespace brisca
