// The window's monitor hooks over the MIDI input port: open and close from start-up, tear-down
// and the MIDI setup dialog, and message 1024.
#pragma once

#include "app/hooks.h"
#include "monitor/midi_in_port.h"

namespace brisca {

class MonitorWindowHooks final : public MonitorHooks {
 public:
  MonitorWindowHooks(MidiService& service, WindowPort& window) : window_(window), port_(service) {}

  int open(int choice) override { return port_.open(&window_, choice); }
  void close() override { port_.close(); }
  void on_midi_input(std::uintptr_t wparam, std::uintptr_t lparam) override {
    port_.handle_input_event(wparam, lparam);
  }
  // "Clear Data".
  void clear_data() { port_.clear_data(); }
  // For whoever listens beside the monitor (receiving sounds).
  MidiInPort& port() { return port_; }

 private:
  WindowPort& window_;
  MidiInPort port_;
};

}  // namespace brisca
