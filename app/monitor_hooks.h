// The window's monitor hooks over the MIDI input port: open and close from start-up, tear-down
// and the MIDI setup dialog, message 1024, and timer 2, on which a lost input is opened again.
// What the window should say about the input (lost, messages dropped) goes to `show_status`.
#pragma once

#include <functional>
#include <string>

#include "app/hooks.h"
#include "monitor/midi_in_port.h"

namespace brisca {

// One line about the input: empty while all is well.
std::string input_status_line(const InputStatus& status);

class MonitorWindowHooks final : public MonitorHooks {
 public:
  MonitorWindowHooks(MidiService& service, WindowPort& window,
                     std::function<void(const std::string&)> show_status = {})
      : window_(window), port_(service), show_status_(std::move(show_status)) {
    port_.keep_reopening(true);
    port_.on_status([this](const InputStatus& status) {
      if (show_status_) show_status_(input_status_line(status));
    });
  }

  int open(int choice) override { return port_.open(&window_, choice); }
  void close() override { port_.close(); }
  void on_midi_input(std::uintptr_t wparam, std::uintptr_t lparam) override {
    port_.handle_input_event(wparam, lparam);
  }
  void on_timer(int id) override { port_.on_timer(id); }
  // "Clear Data".
  void clear_data() { port_.clear_data(); }
  // For whoever listens beside the monitor (receiving sounds).
  MidiInPort& port() { return port_; }

 private:
  WindowPort& window_;
  MidiInPort port_;
  std::function<void(const std::string&)> show_status_;
};

inline std::string input_status_line(const InputStatus& status) {
  std::string line;
  if (status.lost) line = "MIDI input lost: reopened when back.";
  if (status.dropped > 0) {
    if (!line.empty()) line += "  ";
    line += "Dropped under load: " + std::to_string(status.dropped);
  }
  return line;
}

}  // namespace brisca
