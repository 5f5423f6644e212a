// What the main window calls into for preview, down-load, monitor and device opening. The
// window is built against these; each subsystem provides its implementation, and the defaults
// do nothing, so the window works (without devices) before a subsystem is wired in.
// Everything here runs on the window's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"

namespace brisca {

// A device the program keeps open: open(choice) takes an entry index of the device's name table
// (0 = none) and returns it on success, 0 for none or on failure.
class DeviceHooks {
 public:
  virtual ~DeviceHooks() = default;
  virtual int open(int /*choice*/) { return 0; }
  virtual void close() {}
};

class PreviewHooks : public DeviceHooks {  // the audio output
 public:
  // Fails when the file cannot be played: BadFile (its headers are bad, with the text the user
  // is shown) or Io (it cannot be opened).
  virtual Status start_preview(const std::string& /*directory*/, const std::string& /*name*/) {
    return {};
  }
  // Samples of the current preview played so far; nothing while no preview plays.
  virtual std::optional<std::uint64_t> played_samples() { return std::nullopt; }
  // Plays 44.1 kHz samples from sample `from` on (what plays stops first); played_samples()
  // counts from there.
  virtual void play_samples(std::shared_ptr<const std::vector<std::int16_t>> /*samples*/,
                            std::size_t /*from*/) {}
  // Stops what plays.
  virtual void stop_preview() {}
};

class DownloadHooks : public DeviceHooks {  // the MIDI output
 public:
  virtual void send_files() {}    // "Send File(s)" and Enter: continue, then start
  virtual void request_stop() {}  // "Stop" and Escape
  virtual bool is_sending() const { return false; }
};

class MonitorHooks : public DeviceHooks {};  // the MIDI input

}  // namespace brisca
