// The MIDI input port and the monitor behind it: the input device the user chose, eight
// 16 384-byte buffers for System Exclusive data, and the handling of what arrives.
//
// The device calls back on a thread of its own; the callback only posts the event to the
// window (message 1024), where it is formatted into the monitor fields. So that a flood of
// short messages cannot bury the window under posted messages, at most kMaxPosted of them are
// in flight at a time; beyond that the callback keeps only the newest message of each field
// and posts one kMonitorFlush that shows them. Every short message carries a sequence number,
// so a field never goes back to an older message than the one it shows.
//
// A device that reports its loss (MIM_CLOSE while open) is closed and the owner told; when asked
// to, the port then tries the same choice again on timer 2, after 2 s and then at intervals
// doubling up to 20 s, as every failed attempt may cost the device library memory. Messages
// the device dropped under load are counted and told as well.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "common/window_port.h"
#include "platform/api/devices.h"

namespace brisca {

// Posted by the port itself (as the first parameter of message 1024): show the kept messages.
inline constexpr std::uint32_t kMonitorFlush = 0x10000 | MIM_DATA;
// Posted by the port itself: the device reported its loss (the second parameter: which opening
// of the port).
inline constexpr std::uint32_t kMonitorLost = 0x10000 | MIM_CLOSE;

// What the port's owner is told, on the window's thread, whenever it changes.
struct InputStatus {
  bool lost = false;          // the device went away; the port is closed
  std::uint64_t dropped = 0;  // messages the devices dropped under load since the port was made
  bool operator==(const InputStatus&) const = default;
};

// Sees what the port delivers, on the window's thread, besides the monitor fields: each short
// message shown, and the bytes of each filled buffer before it goes back to the device.
class MidiInListener {
 public:
  virtual ~MidiInListener() = default;
  virtual void short_message(std::uint32_t packed) = 0;
  virtual void long_data(const std::uint8_t* data, std::uint32_t length) = 0;
};

class MidiInPort {
 public:
  static constexpr int kBufferCount = 8;
  static constexpr std::uint32_t kBufferBytes = 16384;
  static constexpr int kMaxPosted = 256;

  static constexpr std::chrono::milliseconds kFirstRetry{2000};
  static constexpr std::chrono::milliseconds kLongestRetry{20000};

  explicit MidiInPort(MidiService& service);
  ~MidiInPort() { shut_device(); }
  MidiInPort(const MidiInPort&) = delete;
  MidiInPort& operator=(const MidiInPort&) = delete;

  // `choice` is an entry of the input name table, 0 meaning none. Returns the choice, or 0 for
  // none and on failure (a device that opened but refused a buffer is closed again).
  int open(WindowPort* window, int choice);
  bool is_open() const { return device_ != nullptr; }
  // Stop, reset (every buffer comes back empty), unprepare, close; each step only when the one
  // before it succeeded. Also ends the attempts to reopen a lost device.
  void close();

  void on_status(std::function<void(const InputStatus&)> handler) { status_handler_ = handler; }
  // After a loss, try the same choice again on timer kMonitorTimerId (off by default).
  void keep_reopening(bool on) { keep_reopening_ = on; }
  // The window's timer kMonitorTimerId.
  void on_timer(int id);
  const InputStatus& status() const { return status_; }

  // Message 1024 on the window's thread: MIM_DATA, MIM_LONGDATA or kMonitorFlush.
  void handle_input_event(std::uintptr_t id, std::uintptr_t param);
  // "Clear Data".
  void clear_data();

  // One listener at a time; null for none. It stays across close() and open().
  void set_listener(MidiInListener* listener) { listener_ = listener; }
  MidiInListener* listener() const { return listener_; }

  const MidiHeader& header(int index) const { return headers_[static_cast<std::size_t>(index)]; }

 private:
  struct Slot {
    std::atomic<std::uint64_t> value{0};  // sequence << 32 | packed message; 0 when empty
  };

  int open_device();
  void lose_device();
  void tell(const InputStatus& status);
  void callback(std::uint32_t generation, std::uint32_t id, std::uintptr_t param1);
  void post_short(std::uint32_t packed);
  void show_short(std::uint32_t packed, std::uint32_t sequence);
  void flush();
  void handle_long(std::uintptr_t param);
  int header_index(std::uintptr_t address) const;
  void shut_device();

  MidiService& service_;
  WindowPort* window_ = nullptr;
  MidiInListener* listener_ = nullptr;
  std::unique_ptr<MidiInDevice> device_;
  std::vector<std::uint8_t> buffers_;
  std::array<MidiHeader, kBufferCount> headers_{};
  // Set by the device's thread when it hands a buffer back, cleared when the window takes it:
  // a report of a buffer the port has since queued again (after a reopen) is passed over.
  std::array<std::atomic<bool>, kBufferCount> returned_{};

  std::atomic<std::uint32_t> sequence_{0};
  std::atomic<int> posted_{0};
  std::atomic<bool> flush_posted_{false};
  std::array<Slot, kMonitorFieldCount> kept_{};
  std::array<std::uint32_t, kMonitorFieldCount> shown_{};  // the window's thread only

  // The window's thread only.
  int choice_ = 0;
  std::uint32_t generation_ = 0;  // raised at every opening and closing of a device
  std::function<void(const InputStatus&)> status_handler_;
  InputStatus status_;
  std::uint64_t dropped_before_ = 0;  // by devices already closed
  bool keep_reopening_ = false;
  bool retrying_ = false;
  std::chrono::milliseconds retry_wait_ = kFirstRetry;
};

}  // namespace brisca
