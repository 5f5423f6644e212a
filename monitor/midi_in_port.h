// The MIDI input port and the monitor behind it: the input device the user chose, eight
// 16 384-byte buffers for System Exclusive data, and the handling of what arrives.
//
// The device reports on a thread of its own; the port only posts each report onto the clock it
// was given, on whose thread it is formatted into the monitor fields. So that a
// flood of short messages cannot bury that thread under posted tasks, at most kMaxPosted of
// them are in flight at a time; beyond that the port keeps only the newest message of each
// field and posts one flush that shows them. Every short message carries a sequence number, so
// a field never goes back to an older message than the one it shows.
//
// A device that reports its loss (closed() while open) is closed and the owner told; when asked
// to, the port then tries the same choice again on the clock, after 2 s and then at intervals
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

#include <string>

#include "common/clock.h"
#include "common/result.h"
#include "monitor/monitor_display.h"
#include "platform/api/devices.h"

namespace brisca {

// What the port's owner is told, on the clock's thread, whenever it changes.
struct InputStatus {
  bool lost = false;          // the device went away; the port is closed
  std::uint64_t dropped = 0;  // messages the devices dropped under load since the port was made
  bool operator==(const InputStatus&) const = default;
};

// The monitor's front end, on the clock's thread: the text each of the ten fields shows from
// now on ("" once cleared), and the input's status whenever it changes.
class MonitorListener {
 public:
  virtual ~MonitorListener() = default;
  virtual void field_text(MonitorField /*field*/, const std::string& /*text*/) {}
  virtual void status(const InputStatus& /*status*/) {}
};

// Sees what the port delivers, on the clock's thread, besides the monitor fields: each short
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

  MidiInPort(MidiService& service, Clock& clock, MonitorListener* monitor = nullptr);
  ~MidiInPort() { shut_device(); }
  MidiInPort(const MidiInPort&) = delete;
  MidiInPort& operator=(const MidiInPort&) = delete;

  // `choice` is an entry of the input name table (from 1). Fails for none and when the device
  // cannot be opened (a device that opened but refused a buffer is closed again).
  Status open(int choice);
  bool is_open() const { return device_ != nullptr; }
  // Stop, reset (every buffer comes back empty), unprepare, close; each step only when the one
  // before it succeeded. Also ends the attempts to reopen a lost device.
  void close();

  // Where the fields and the status go; null for nowhere. It stays across close() and open().
  void set_monitor(MonitorListener* monitor) { monitor_ = monitor; }
  // After a loss, try the same choice again on the clock (off by default).
  void keep_reopening(bool on) { keep_reopening_ = on; }
  const InputStatus& status() const { return status_; }

  // "Clear Data": every field shows "".
  void clear_data();

  // One listener at a time; null for none. It stays across close() and open().
  void set_listener(MidiInListener* listener) { listener_ = listener; }
  MidiInListener* listener() const { return listener_; }

  // The clock the port runs on.
  Clock& clock() const { return clock_; }

  const MidiHeader& header(int index) const { return headers_[static_cast<std::size_t>(index)]; }

 private:
  struct Slot {
    std::atomic<std::uint64_t> value{0};  // sequence << 32 | packed message; 0 when empty
  };
  // Takes the device's reports on its thread, each marked with the generation of the device it
  // was opened for: a loss that reaches the clock's thread after a reopen is stale.
  class DeviceReports final : public MidiInDeviceListener {
   public:
    explicit DeviceReports(MidiInPort& port) : port_(port) {}
    void data(std::uint32_t packed, std::uint64_t /*ms*/) override;
    void sysex(MidiHeader& header, std::uint64_t /*ms*/) override;
    void closed() override;
    // Set on the clock's thread while no device is open.
    std::atomic<std::uint32_t> generation{0};

   private:
    MidiInPort& port_;
  };

  // Posts `task` for the clock's thread; it is dropped should the port be gone by then.
  void post(std::function<void(MidiInPort&)> task);
  bool open_device();
  void lose_device();
  void reopen();
  void tell(const InputStatus& status);
  void tell_dropped();
  void post_short(std::uint32_t packed);
  void show_short(std::uint32_t packed, std::uint32_t sequence);
  void show(MonitorField field, const std::string& text);
  void flush();
  void handle_long(int index);
  int header_index(const MidiHeader& header) const;
  void shut_device();

  MidiService& service_;
  Clock& clock_;
  MonitorListener* monitor_ = nullptr;
  MidiInListener* listener_ = nullptr;
  DeviceReports reports_{*this};
  std::unique_ptr<MidiInDevice> device_;
  std::vector<std::uint8_t> buffers_;
  std::array<MidiHeader, kBufferCount> headers_{};
  // Set by the device's thread when it hands a buffer back, cleared when the clock's thread
  // takes it:
  // a report of a buffer the port has since queued again (after a reopen) is passed over.
  std::array<std::atomic<bool>, kBufferCount> returned_{};

  std::atomic<std::uint32_t> sequence_{0};
  std::atomic<int> posted_{0};
  std::atomic<bool> flush_posted_{false};
  std::array<Slot, kMonitorTextFields> kept_{};
  std::array<std::uint32_t, kMonitorTextFields> shown_{};  // the clock's thread only

  // The clock's thread only.
  int choice_ = 0;
  std::uint32_t generation_ = 0;  // raised at every opening and closing of a device
  InputStatus status_;
  std::uint64_t dropped_before_ = 0;  // by devices already closed
  bool keep_reopening_ = false;
  ScopedTimer retry_;
  std::chrono::milliseconds retry_wait_ = kFirstRetry;
  // Posted tasks hold it weakly: one that runs after the port has gone does nothing.
  std::shared_ptr<MidiInPort*> alive_ = std::make_shared<MidiInPort*>(this);
};

}  // namespace brisca
