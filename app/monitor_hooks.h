// The window's monitor hooks over the MIDI input port: open and close from start-up, tear-down
// and the MIDI setup dialog. The port runs on the window's clock, where a lost input is also
// opened again. The ten fields' texts go to `show_field`, and what the window should say about
// the input (lost, messages dropped) to `show_status`.
#pragma once

#include <functional>
#include <string>

#include "app/hooks.h"
#include "monitor/midi_in_port.h"

namespace brisca {

// One line about the input: empty while all is well.
std::string input_status_line(const InputStatus& status);

class MonitorWindowHooks final : public MonitorHooks, private MonitorListener {
 public:
  using ShowField = std::function<void(MonitorField, const std::string&)>;
  using ShowStatus = std::function<void(const std::string&)>;

  MonitorWindowHooks(MidiService& service, Clock& clock, ShowField show_field,
                     ShowStatus show_status = {})
      : port_(service, clock, this),
        show_field_(std::move(show_field)),
        show_status_(std::move(show_status)) {
    port_.keep_reopening(true);
  }

  int open(int choice) override {
    if (choice <= 0) {
      port_.close();
      return 0;
    }
    return port_.open(choice) ? choice : 0;
  }
  void close() override { port_.close(); }
  // "Clear Data".
  void clear_data() { port_.clear_data(); }
  // For whoever listens beside the monitor (receiving sounds).
  MidiInPort& port() { return port_; }

 private:
  void field_text(MonitorField field, const std::string& text) override {
    if (show_field_) show_field_(field, text);
  }
  void status(const InputStatus& status) override {
    if (show_status_) show_status_(input_status_line(status));
  }

  MidiInPort port_;
  ShowField show_field_;
  ShowStatus show_status_;
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
