// briscatool monitor [--midi-in ENTRY] [--seconds S] [--count N] [--wait[=S]]: opens the MIDI input
// and prints each monitor field update as "Label: text", the text exactly as the field shows it. An
// input that goes away ends it with a line and status 1; messages dropped under load are counted in
// a last line.
#include <chrono>
#include <iostream>

#include "app/cli/midi_commands.h"
#include "common/loop_clock.h"
#include "monitor/midi_in_port.h"
#include "monitor/monitor_display.h"

namespace brisca::cli {
namespace {

std::chrono::milliseconds time_limit(double seconds) {
  if (seconds <= 0) return std::chrono::hours(24 * 365);
  return std::chrono::milliseconds(static_cast<long long>(seconds * 1000 + 0.5));
}

// Prints each field update, up to `count` of them (0: no limit); a lost input is told once.
class MonitorPrinter final : public MonitorListener {
 public:
  MonitorPrinter(Streams io, long count, const std::string& entry)
      : io_(io), count_(count), entry_(entry) {}
  void field_text(MonitorField field, const std::string& text) override {
    if (done()) return;
    io_.out << monitor_field_label(static_cast<int>(field)) << ": " << text << '\n' << std::flush;
    ++printed_;
  }
  void status(const InputStatus& status) override {
    if (!status.lost || lost_) return;
    lost_ = true;
    io_.err << "briscatool monitor: the MIDI input \"" << entry_ << "\" was lost\n" << std::flush;
  }
  bool done() const { return count_ > 0 && printed_ >= count_; }
  bool lost() const { return lost_; }

 private:
  Streams io_;
  long count_;
  std::string entry_;
  long printed_ = 0;
  bool lost_ = false;
};

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
  add_wait_option(*app, options.wait, "input");
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
  if (!wait_for_port(service, PortSide::In, options.midi_in, options.wait, interrupts, io.err))
    return kFailed;
  const ChosenPort chosen = choose_port(service, store, PortSide::In, options.midi_in, io.err);
  if (chosen.choice == 0) return kFailed;
  const int choice = chosen.choice;
  const std::string& entry = chosen.entry;

  LoopClock clock;
  MonitorPrinter printer(io, options.count, entry);
  MidiInPort port(service, clock, &printer);
  if (!port.open(choice)) {
    io.err << "briscatool monitor: the MIDI input \"" << entry << "\" cannot be opened\n";
    return kFailed;
  }
  io.err << "Listening on " << entry << " (Ctrl-C to stop)\n" << std::flush;
  clock.run([&] { return printer.lost() || (interrupts && interrupts() > 0) || printer.done(); },
            time_limit(options.seconds));
  port.close();
  if (const std::uint64_t dropped = port.status().dropped; dropped > 0)
    io.err << "briscatool monitor: " << dropped << " incoming messages were dropped under load\n";
  return printer.lost() ? kFailed : kOk;
}

int cmd_monitor(const Args& args, Streams io) {
  return run_midi_command<InterruptGuard>(args, io, parse_monitor_options, run_monitor);
}

}  // namespace brisca::cli
