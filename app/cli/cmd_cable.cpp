// briscatool cable --midi-out OUT --midi-in IN [--seconds S]: tests the loop from OUT back to IN
// (an interface's out cabled to its in, or a module's thru) at the default pace and then at
// slower ones, prints a line per pace tried and remembers the fastest pace that passed for OUT,
// the pace `send` and the window then use.
#include <cmath>
#include <iostream>

#include "app/cli/midi_commands.h"
#include "app/devices/pace_settings.h"
#include "cable/cable_test.h"
#include "common/loop_clock.h"

namespace brisca::cli {
namespace {

class CablePrinter : public CableEvents {
 public:
  explicit CablePrinter(Streams io) : io_(io) {}
  void pace_tried(const CablePaceResult& result) override {
    io_.out << pace_line(result) << (result.passed ? "  passed" : "") << '\n' << std::flush;
  }
  void finished(const CableOutcome& outcome) override { outcome_ = outcome; }
  const CableOutcome& outcome() const { return outcome_; }

 private:
  Streams io_;
  CableOutcome outcome_;
};

std::unique_ptr<CLI::App> cable_command(CableOptions& options) {
  auto app = make_command("cable",
                          "Tests a MIDI cable loop (an interface's out cabled to its in, or a "
                          "module's thru) and finds the fastest pace it carries whole.");
  app->add_option("--midi-out", options.midi_out,
                  "the output's number or name as `briscatool devices` lists it")
      ->type_name("OUT")
      ->required();
  app->add_option("--midi-in", options.midi_in,
                  "the input, cabled to the output, as `briscatool devices` lists it")
      ->type_name("IN")
      ->required();
  app->add_option("--seconds", options.seconds,
                  "send for at least S seconds at each pace (default: ten blocks' worth)")
      ->type_name("S")
      ->transform(positive("seconds", false));
  add_wait_option(*app, options.wait, "ports");
  app->footer(
      "Sends messages of a sound-dump block's length at the default pace (200-byte chunks "
      "every 70 ms), then at slower ones, and compares what comes back byte for byte. The "
      "fastest pace that passed is remembered for OUT. Ctrl-C stops. Exit status: 0 when a "
      "pace passed and was remembered, 1 when none did, nothing came back or the pace could "
      "not be remembered, 2 for a usage error.");
  return app;
}

}  // namespace

int run_cable(MidiService& service, SettingsStore* store, const CableOptions& options, Streams io,
              const InterruptCount& interrupts) {
  // A port option that names no port is a usage error; an empty one left the choice to the
  // system, which has none.
  const auto unusable = [](const std::string& wanted) { return wanted.empty() ? kFailed : kUsage; };
  if (!wait_for_port(service, PortSide::Out, options.midi_out, options.wait, interrupts, io.err) ||
      !wait_for_port(service, PortSide::In, options.midi_in, options.wait, interrupts, io.err))
    return kFailed;
  const ChosenPort out = choose_port(service, store, PortSide::Out, options.midi_out, io.err);
  if (out.choice == 0) return unusable(options.midi_out);
  const ChosenPort in = choose_port(service, store, PortSide::In, options.midi_in, io.err);
  if (in.choice == 0) return unusable(options.midi_in);
  const std::string& out_entry = out.entry;
  const std::string& in_entry = in.entry;

  LoopClock clock;
  CablePrinter printer(io);
  CableTest test(service, clock, printer);
  const auto at_least = std::chrono::milliseconds(static_cast<long long>(options.seconds * 1000));
  if (const Status started = test.start(out.choice, in.choice, at_least); !started) {
    io.err << "briscatool cable: " << started.message() << '\n';
    return kFailed;
  }
  io.out << "Testing the loop from " << out_entry << " to " << in_entry << ": "
         << CableTest::kMessagesPerPace << " messages of " << kCableMessageBytes
         << " bytes at least at each pace (Ctrl-C to stop)\n"
         << std::flush;
  clock.run([&] {
    if (interrupts && interrupts() > 0) test.stop();
    return !test.running();
  });
  const CableOutcome& outcome = printer.outcome();
  if (outcome.end != CableEnd::Passed || !outcome.found) {
    io.err << "briscatool cable: " << outcome.text << '\n';
    if (outcome.end == CableEnd::NothingBack)
      io.err << "Is " << in_entry << " cabled to " << out_entry << "?\n";
    return kFailed;
  }
  // The pause between files is no part of the test: the one chosen for OUT stays.
  Pace found = outcome.found->pace;
  found.file_gap_ms = pace_for_output(store, out_entry).file_gap_ms;
  io.out << outcome.text << " (" << std::lround(outcome.found->bytes_per_second) << " bytes/s)";
  if (!remember_pace(store, out_entry, found)) {
    io.out << '\n' << std::flush;
    const std::string why = store != nullptr ? store->write_problem() : "no settings store";
    io.err << "briscatool cable: the pace could not be remembered for " << out_entry
           << (why.empty() ? std::string() : " (" + why + ")") << '\n';
    return kFailed;
  }
  io.out << "; remembered for " << out_entry << '\n';
  return kOk;
}

int parse_cable_options(const Args& args, CableOptions& options, Streams io) {
  auto app = cable_command(options);
  return parse_command(*app, args, io);
}

int cmd_cable(const Args& args, Streams io) {
  return run_midi_command<InterruptGuard>(args, io, parse_cable_options, run_cable);
}

}  // namespace brisca::cli
