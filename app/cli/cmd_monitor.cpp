// briscatool monitor [--midi-in ENTRY] [--seconds S] [--count N]: opens the MIDI input and
// prints each monitor field update as "Label: text", the text exactly as the field shows it.
#include <charconv>
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

constexpr const char* kUsageText =
    "usage: briscatool monitor [--midi-in ENTRY] [--seconds S] [--count N]\n";

struct Limits {
  std::chrono::milliseconds time = std::chrono::hours(24 * 365);
  long count = 0;  // 0: no limit
};

// False, with the reason in `error`, for a value that is not a positive number.
bool read_limits(const Parsed& parsed, Limits& limits, std::string& error) {
  if (parsed.has("seconds")) {
    const std::string text = parsed.value("seconds");
    double seconds = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (ec != std::errc() || end != text.data() + text.size() || !(seconds > 0) || seconds > 1e7) {
      error = "--seconds needs a positive number of seconds, not \"" + text + "\"";
      return false;
    }
    limits.time = std::chrono::milliseconds(static_cast<long long>(seconds * 1000 + 0.5));
  }
  if (parsed.has("count")) {
    const std::string text = parsed.value("count");
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), limits.count);
    if (ec != std::errc() || end != text.data() + text.size() || limits.count <= 0) {
      error = "--count needs a positive whole number, not \"" + text + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace

int run_monitor(MidiService& service, SettingsStore* store, const Args& args, Streams io,
                const InterruptCount& interrupts) {
  Parsed parsed = parse_args(args, {}, {"midi-in", "seconds", "count"});
  Limits limits;
  std::string error = parsed.error;
  if (error.empty() && !parsed.positional.empty()) error = "unexpected " + parsed.positional[0];
  if (error.empty()) read_limits(parsed, limits, error);
  if (!error.empty()) {
    io.err << "briscatool monitor: " << error << '\n' << kUsageText;
    return kUsage;
  }
  const NameTable table = fill_midi_table(service);
  const int remembered = settings_operation(kReadMidiIn, 0, store, table, NameTable{});
  const int choice =
      resolve_entry(table.in, parsed.value("midi-in"), remembered, "midi-in", io.err);
  if (choice == 0) return kFailed;
  const std::string& entry = table.in[static_cast<std::size_t>(choice)];

  ConsoleWindow window;
  MidiInPort port(service);
  long printed = 0;
  window.on_message([&](WindowMessage m, std::uintptr_t wparam, std::uintptr_t lparam) {
    if (m == WindowMessage::MidiInput) port.handle_input_event(wparam, lparam);
  });
  window.on_field([&](Field field, std::string_view text) {
    const int index = static_cast<int>(field);
    if (index < 0 || index >= kMonitorFieldCount) return;
    if (limits.count > 0 && printed >= limits.count) return;
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
        return (interrupts && interrupts() > 0) || (limits.count > 0 && printed >= limits.count);
      },
      limits.time);
  port.close();
  return kOk;
}

int cmd_monitor(const Args& args, Streams io) {
  auto service = make_midi_service();
  QtSettingsStore store;
  InterruptGuard guard;
  return run_monitor(*service, &store, args, io, &InterruptGuard::count);
}

}  // namespace brisca::cli
