// The MIDI output port: the one output device the user chose, four message headers used in
// rotation, and the ring in which the device's reports wait for the window's thread.
//
// The device reports (port opened, long message done, port closed) from a thread of its own.
// The port only appends each report to a 256-entry ring; the window's thread takes one
// entry per tick of the down-load timer. The count of waiting entries is the one value both
// threads change: the device's thread writes an entry completely and then raises the count
// (release), the window's thread sees the count (acquire) before it reads the entry.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/api/devices.h"

namespace brisca {

struct PortReport {
  enum class Kind { Opened, Done, Closed };
  Kind kind = Kind::Opened;
  MidiHeader* header = nullptr;  // the finished header of a Done report
};

class MidiOutPort : private MidiOutDeviceListener {
 public:
  static constexpr int kHeaderCount = 4;
  static constexpr std::uint32_t kRingSize = 256;

  explicit MidiOutPort(MidiService& service) : service_(service) {}
  ~MidiOutPort() override { close(); }
  MidiOutPort(const MidiOutPort&) = delete;
  MidiOutPort& operator=(const MidiOutPort&) = delete;

  // `choice` is an entry of the output name table, 0 meaning none. Returns the choice, or 0
  // for none and on failure. Resets the ring and the rotation; an open device is closed first.
  int open(int choice);
  bool is_open() const { return device_ != nullptr; }
  int choice() const { return choice_; }
  // Opens the lost device again; a failed try keeps it lost. Returns the choice, or 0.
  int reopen();

  MidiHeader& next_header();
  // Flags to 0, prepare, long message; the long message's result (DeviceLost with no device).
  Status send_long(MidiHeader& header);
  void unprepare(MidiHeader& header);
  // A lone F7 after whatever is queued, ending a System Exclusive message the receiver is
  // inside. It uses a header outside the rotation; its done report is stale to the sequencer.
  Status send_end_of_message();

  // One entry per tick: the finished header of a Done entry, or null for an empty ring and
  // for any other report (which is consumed all the same).
  MidiHeader* take_done_header();
  // The same, keeping the entry's kind: nothing when the ring is empty.
  std::optional<PortReport> take_report();
  // The header a report names, when it is one of this port's four; null otherwise.
  MidiHeader* own_header(const MidiHeader* header);

  // The open device's destination and the other clients sending to it (see MidiOutDevice).
  std::string destination() const { return device_ ? device_->destination() : std::string(); }
  std::vector<std::string> other_senders() const {
    return device_ ? device_->other_senders() : std::vector<std::string>{};
  }
  // After a loss, before close_lost(): the port sent to is no longer there (see MidiOutDevice).
  bool destination_gone() const { return device_ && device_->destination_gone(); }

  void close();
  // Closes the device after it failed, remembering its choice for reopen().
  void close_lost();

  // The ring, for tests and diagnostics.
  std::uint32_t waiting() const { return count_.load(std::memory_order_acquire); }
  std::uint32_t write_index() const { return write_; }
  std::uint32_t read_index() const { return read_; }
  std::uint32_t dropped() const { return dropped_.load(std::memory_order_relaxed); }
  int rotation() const { return rotation_; }

 private:
  // The device's thread.
  void opened() override { report({PortReport::Kind::Opened, nullptr}); }
  void done(MidiHeader& header) override { report({PortReport::Kind::Done, &header}); }
  void closed() override { report({PortReport::Kind::Closed, nullptr}); }
  void report(const PortReport& entry);
  void close_device();

  MidiService& service_;
  std::unique_ptr<MidiOutDevice> device_;
  int choice_ = 0;
  int lost_choice_ = 0;
  std::array<MidiHeader, kHeaderCount> headers_{};
  MidiHeader end_header_{};
  std::uint8_t end_byte_ = 0xF7;
  int rotation_ = 0;

  std::array<PortReport, kRingSize> ring_{};
  std::uint32_t write_ = 0;  // the device's thread only
  std::uint32_t read_ = 0;   // the window's thread only
  std::atomic<std::uint32_t> count_{0};
  std::atomic<std::uint32_t> dropped_{0};
};

}  // namespace brisca
