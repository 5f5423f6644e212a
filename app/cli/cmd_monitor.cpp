// briscatool monitor [--midi-in ENTRY] [--seconds S] [--count N]: opens the MIDI input and
// prints each monitor field update as "Label: text", the text exactly as the field shows it.
// An input that goes away ends it with a line and status 1; messages dropped under load are
// counted in a last line.
#include <chrono>
#include <iostream>

#include "app/cli/console_window.h"
#include "app/cli/midi_commands.h"
#include "monitor/midi_in_port.h"
#include "monitor/monitor_display.h"

namespace brisca::cli {
namespace {

std::chrono::milliseconds time_limit(double seconds) {
  if (seconds <= 0) return std::chrono::hours(24 * 365);
  return std::chrono::milliseconds(static_cast<long long>(seconds * 1000 + 0.5));
}

std::unique_ptr<CLI::App> monitor_command(MonitorOptions& options) {
  auto app = make_command(
      "monitor", "Opens the MIDI input and prints each monitor field update as \"Label: text\".");
  app->add_option("--midi-in", options.midi_in,
                  "the input's number or name as `briscatool devices` lists it (default: the "
                  "remembered choice, else the first)")
      ->type_name("ENTRY");
  app->add_option("--seconds", options.seconds, "stop after S seconds")
      ->type_name("S")
      ->transform(positive("seconds", false));
  app->add_option("--count", options.count, "stop after N field updates")
      ->type_name("N")
      ->transform(positive("field updates", true));
  app->footer(
      "Ctrl-C stops. Exit status: 0 when stopped, 1 when the input fails, 2 for a usage error.");
  return app;
}

}  // namespace

int parse_monitor_options(const Args& args, MonitorOptions& options, Streams io) {
  auto app = monitor_command(options);
  return parse_command(*app, args, io);
}

int run_monitor(MidiService& service, SettingsStore* store, const MonitorOptions& options,
                Streams io, const InterruptCount& interrupts) {
  const ChosenPort chosen = choose_port(service, store, PortSide::In, options.midi_in, io.err);
  if (chosen.choice == 0) return kFailed;
  const int choice = chosen.choice;
  const std::string& entry = chosen.entry;

  ConsoleWindow window;
  MidiInPort port(service);
  long printed = 0;
  bool lost = false;
  port.on_status([&](const InputStatus& status) {
    if (!status.lost || lost) return;
    lost = true;
    io.err << "briscatool monitor: the MIDI input \"" << entry << "\" was lost\n" << std::flush;
  });
  window.on_message([&](WindowMessage m, std::uintptr_t wparam, std::uintptr_t lparam) {
    if (m == WindowMessage::MidiInput) port.handle_input_event(wparam, lparam);
  });
  window.on_field([&](Field field, std::string_view text) {
    const int index = static_cast<int>(field);
    if (index < 0 || index >= kMonitorFieldCount) return;
    if (options.count > 0 && printed >= options.count) return;
    io.out << monitor_field_label(index) << ": " << text << '\n' << std::flush;
    ++printed;
  });
  if (port.open(&window, choice) == 0) {
    io.err << "briscatool monitor: the MIDI input \"" << entry << "\" cannot be opened\n";
    return kFailed;
  }
  io.err << "Listening on " << entry << " (Ctrl-C to stop)\n" << std::flush;
  window.run(
      [&] {
        return lost || (interrupts && interrupts() > 0) ||
               (options.count > 0 && printed >= options.count);
      },
      time_limit(options.seconds));
  port.close();
  if (const std::uint64_t dropped = port.status().dropped; dropped > 0)
    io.err << "briscatool monitor: " << dropped << " incoming messages were dropped under load\n";
  return lost ? kFailed : kOk;
}

int cmd_monitor(const Args& args, Streams io) {
  return run_midi_command<InterruptGuard>(args, io, parse_monitor_options, run_monitor);
}

}  // namespace brisca::cli
