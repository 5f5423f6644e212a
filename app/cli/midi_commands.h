// `briscatool send` and `briscatool monitor`: the down-load and the MIDI monitor run from a
// terminal, over the same ports and sequencer as the window.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/cli/cli.h"
#include "app/devices/settings.h"
#include "app/end_signals.h"
#include "platform/api/devices.h"

namespace brisca::cli {

// How often Ctrl-C was pressed since the command began.
using InterruptCount = std::function<int()>;

// Each command's options are parsed once: parse_X_options gives -1 when the command is to go
// on, otherwise the status to exit with (help shown, usage error). run_X does the work; `store`
// holds the remembered choices (null: none remembered).

// `briscatool send`. A pace field not given is the remembered pace's for the output (else the
// default's).
// `--wait[=SECONDS]`: nothing, start at once; 0, wait for the port as long as it takes; else at
// most that many seconds.
using WaitOption = std::optional<double>;

struct SendOptions {
  std::string midi_out;  // empty: the remembered choice, else the first port
  bool shared = false;
  bool skip_damaged = false;  // send the whole files and skip the damaged instead of none
  std::optional<int> chunk_bytes, interval_ms, file_gap_ms;
  std::vector<std::string> paths;
  WaitOption wait;
};
int parse_send_options(const Args& args, SendOptions& options, Streams io);
int run_send(MidiService& service, SettingsStore* store, const SendOptions& options, Streams io,
             const InterruptCount& interrupts);

// `briscatool monitor`.
struct MonitorOptions {
  std::string midi_in;  // empty: the remembered choice, else the first port
  double seconds = 0;   // 0: no limit
  long count = 0;       // field updates; 0: no limit
  WaitOption wait;
};
int parse_monitor_options(const Args& args, MonitorOptions& options, Streams io);
int run_monitor(MidiService& service, SettingsStore* store, const MonitorOptions& options,
                Streams io, const InterruptCount& interrupts);

// `briscatool receive`.
struct ReceiveOptions {
  std::string midi_in;            // empty: the remembered choice, else the first port
  std::string folder = ".";       // where the sound files go
  long count = 0;                 // end after this many sounds; 0: no limit
  std::optional<double> seconds;  // end after this long
  bool live_progress = false;     // rewrite the progress line in place (a terminal)
  WaitOption wait;  // the input is waited for at the start, and when lost instead of ending
};
int parse_receive_options(const Args& args, ReceiveOptions& options, Streams io);
// Exit 0 when every sound that began arrived whole and was written, 1 otherwise.
int run_receive(MidiService& service, SettingsStore* store, const ReceiveOptions& options,
                Streams io, const InterruptCount& interrupts);

// `briscatool cable`: the loop from an output back to an input, and the least time per pace.
struct CableOptions {
  std::string midi_out;
  std::string midi_in;
  double seconds = 0;  // 0: ten blocks' worth at each pace
  WaitOption wait;
};
int parse_cable_options(const Args& args, CableOptions& options, Streams io);
// Exit 0 when a pace passed and was remembered for the output in `store`, 1 when none passed or
// it could not be remembered, 2 when --midi-out or --midi-in names no port.
int run_cable(MidiService& service, SettingsStore* store, const CableOptions& options, Streams io,
              const InterruptCount& interrupts);

// The MIDI port a command uses and its entry text.
struct ChosenPort {
  int choice = 0;  // entry of the name table side; 0: none
  std::string entry;
};
enum class PortSide { In, Out };
// The port `wanted` names on that side of the service's name table (see resolve_entry), else
// the remembered choice, else the first. Choice 0 when there is none; the reason is then on
// `err`.
ChosenPort choose_port(MidiService& service, SettingsStore* store, PortSide side,
                       const std::string& wanted, std::ostream& err);

// Adds `--wait[=SECONDS]` to a command whose ports are `ports` ("port", "ports").
void add_wait_option(CLI::App& app, WaitOption& wait, const std::string& ports);

// With `wait` given: until `wanted` names a port on that side of the service's name table (any
// port when empty), watching the service for ports that appear; it says on `err` what it waits
// for. False when the user interrupted the wait; true otherwise, also when the time ran out
// (choose_port then tells what is missing).
bool wait_for_port(MidiService& service, PortSide side, const std::string& wanted,
                   const WaitOption& wait, const InterruptCount& interrupts, std::ostream& err);

// Runs `work` on the build's MIDI service and the per-user store of remembered choices.
int with_midi_service(const std::function<int(MidiService&, SettingsStore*)>& work);

// The preamble the MIDI commands share: the options parsed once, then the work run on the
// build's MIDI service and the per-user store while `Signals` counts SIGINT, SIGTERM and SIGHUP.
template <class Signals, class Options>
int run_midi_command(const Args& args, Streams io, int (*parse)(const Args&, Options&, Streams),
                     int (*run)(MidiService&, SettingsStore*, const Options&, Streams,
                                const InterruptCount&)) {
  Options options;
  if (const int status = parse(args, options, io); status >= 0) return status;
  return with_midi_service([&](MidiService& service, SettingsStore* store) {
    Signals signals;
    return run(service, store, options, io, &Signals::count);
  });
}

// The entry of a name table side that `wanted` names (see resolve_entry): its index, 0 for none,
// -1 when it matches several.
int find_entry(const std::vector<std::string>& entries, const std::string& wanted);

// The entry of a name table side ("none" at 0) that `wanted` names: its number as `briscatool
// devices` lists it, its exact text, or the one entry containing it, case-insensitively. With
// `wanted` empty: `remembered` when above 0, else the first device. 0 when there is none; the
// reason then goes to `err`, with the entries there are.
int resolve_entry(const std::vector<std::string>& entries, const std::string& wanted,
                  int remembered, const std::string& option, std::ostream& err);

// Counts SIGINT while alive; the previous handling comes back afterwards. A third Ctrl-C ends
// the program the ordinary way. SIGTERM and SIGHUP count as two presses (stop at once), so the
// command still closes its device and returns.
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;
  static int count();

 private:
  EndSignals signals_;
};

}  // namespace brisca::cli
