// briscatool monitor [--midi-in ENTRY] [--seconds S] [--count N]: opens the MIDI input and
// prints each monitor field update as "Label: text", the text exactly as the field shows it.
// An input that goes away ends it with a line and status 1; messages dropped under load are
// counted in a last line.
#include <chrono>
#include <iostream>

#include "app/cli/console_window.h"
#include "app/cli/midi_commands.h"
#include "app/devices/name_tables.h"
#include "app/devices/qt_settings_store.h"
#include "app/devices/services.h"
#include "monitor/midi_in_port.h"
#include "monitor/monitor_display.h"

namespace brisca::cli {
namespace {

struct Limits {
  double seconds = 0;  // 0: no limit
  long count = 0;      // 0: no limit
  std::chrono::milliseconds time() const {
    if (seconds <= 0) return std::chrono::hours(24 * 365);
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000 + 0.5));
  }
};

struct MonitorOptions {
  std::string midi_in;
  Limits limits;
};

std::unique_ptr<CLI::App> monitor_command(MonitorOptions& options) {
  auto app = make_command(
      "monitor", "Opens the MIDI input and prints each monitor field update as \"Label: text\".");
  app->add_option("--midi-in", options.midi_in,
                  "the input's number or name as `briscatool devices` lists it (default: the "
                  "remembered choice, else the first)")
      ->type_name("ENTRY");
  app->add_option("--seconds", options.limits.seconds, "stop after S seconds")
      ->type_name("S")
      ->check(positive("seconds", false));
  app->add_option("--count", options.limits.count, "stop after N field updates")
      ->type_name("N")
      ->check(positive("field updates", true));
  app->footer(
      "Ctrl-C stops. Exit status: 0 when stopped, 1 when the input fails, 2 for a usage error.");
  return app;
}

}  // namespace

int run_monitor(MidiService& service, SettingsStore* store, const Args& args, Streams io,
                const InterruptCount& interrupts) {
  MonitorOptions options;
  auto app = monitor_command(options);
  if (const int status = parse_command(*app, args, io); status >= 0) return status;
  const NameTable table = fill_midi_table(service);
  const int remembered = settings_operation(kReadMidiIn, 0, store, table, NameTable{});
  const int choice = resolve_entry(table.in, options.midi_in, remembered, "midi-in", io.err);
  if (choice == 0) return kFailed;
  const std::string& entry = table.in[static_cast<std::size_t>(choice)];

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
    if (options.limits.count > 0 && printed >= options.limits.count) return;
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
               (options.limits.count > 0 && printed >= options.limits.count);
      },
      options.limits.time());
  port.close();
  if (const std::uint64_t dropped = port.status().dropped; dropped > 0)
    io.err << "briscatool monitor: " << dropped << " incoming messages were dropped under load\n";
  return lost ? kFailed : kOk;
}

int cmd_monitor(const Args& args, Streams io) {
  MonitorOptions options;
  auto app = monitor_command(options);
  if (const int status = parse_command(*app, args, io); status >= 0) return status;
  auto service = make_midi_service();
  QtSettingsStore store;
  InterruptGuard guard;
  return run_monitor(*service, &store, args, io, &InterruptGuard::count);
}

}  // namespace brisca::cli
