// Collects device reports from any thread and lets a test wait for them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/api/devices.h"

namespace brisca::test {

enum class Event { Opened, Done, Data, Sysex, Closed };

struct Report {
  Event id;
  std::uintptr_t param1;  // the header's address, or the packed short message
};

// Listens to any device: open a MIDI output, a MIDI input or a wave output with it.
class ReportLog : public MidiOutDeviceListener,
                  public MidiInDeviceListener,
                  public WaveOutDeviceListener {
 public:
  void opened() override { add(Event::Opened, 0); }
  void closed() override { add(Event::Closed, 0); }
  void done(MidiHeader& header) override { add(Event::Done, address(header)); }
  void data(std::uint32_t packed, std::uint64_t) override { add(Event::Data, packed); }
  void sysex(MidiHeader& header, std::uint64_t) override { add(Event::Sysex, address(header)); }
  void block_done(WaveHeader& header) override { add(Event::Done, address(header)); }

  std::vector<Report> reports() const {
    std::lock_guard lock(mutex_);
    return reports_;
  }

  std::size_t count(Event id) const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const Report& r : reports_) n += r.id == id;
    return n;
  }

  // Waits until `n` reports of `id` have come. The limit only keeps a broken build from hanging.
  bool wait_count(Event id, std::size_t n,
                  std::chrono::milliseconds limit = std::chrono::seconds(30)) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
      std::size_t have = 0;
      for (const Report& r : reports_) have += r.id == id;
      return have >= n;
    });
  }

 private:
  template <class Header>
  static std::uintptr_t address(const Header& header) {
    return reinterpret_cast<std::uintptr_t>(&header);
  }
  void add(Event id, std::uintptr_t param1) {
    {
      std::lock_guard lock(mutex_);
      reports_.push_back({id, param1});
    }
    changed_.notify_all();
  }

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Report> reports_;
};

inline std::vector<std::uint8_t> bytes_of(const MidiHeader& h) {
  return {h.data, h.data + h.bytes_recorded};
}

}  // namespace brisca::test
