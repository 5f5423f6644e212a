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
  virtual void start_preview(const std::string& /*directory*/, const std::string& /*name*/) {}
  // Message 1027: the wave device's report and its parameter.
  virtual void on_wave_message(std::uintptr_t /*wparam*/, std::uintptr_t /*lparam*/) {}
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

class MonitorHooks : public DeviceHooks {  // the MIDI input
 public:
  // Message 1024 (WM_USER): MIM_DATA / MIM_LONGDATA and the parameter.
  virtual void on_midi_input(std::uintptr_t /*wparam*/, std::uintptr_t /*lparam*/) {}
  virtual void on_timer(int /*id*/) {}  // timer 2 ticks (reopening a lost input)
};

}  // namespace brisca
