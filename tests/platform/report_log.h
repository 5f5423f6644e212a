// Collects device reports from any thread and lets a test wait for them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/api/devices.h"

namespace brisca::test {

struct Report {
  std::uint32_t id;
  std::uintptr_t param1;
  std::uintptr_t param2;
};

class ReportLog {
 public:
  DeviceCallback callback() {
    return [this](std::uint32_t id, std::uintptr_t p1, std::uintptr_t p2) {
      {
        std::lock_guard lock(mutex_);
        reports_.push_back({id, p1, p2});
      }
      changed_.notify_all();
    };
  }

  std::vector<Report> reports() const {
    std::lock_guard lock(mutex_);
    return reports_;
  }

  std::size_t count(std::uint32_t id) const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const Report& r : reports_) n += r.id == id;
    return n;
  }

  // Waits until `n` reports of `id` have come. The limit only keeps a broken build from hanging.
  bool wait_count(std::uint32_t id, std::size_t n,
                  std::chrono::milliseconds limit = std::chrono::seconds(30)) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
      std::size_t have = 0;
      for (const Report& r : reports_) have += r.id == id;
      return have >= n;
    });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Report> reports_;
};

inline std::vector<std::uint8_t> bytes_of(const MidiHeader& h) {
  return {h.data, h.data + h.bytes_recorded};
}

}  // namespace brisca::test
