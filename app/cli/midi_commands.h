// `briscatool send` and `briscatool monitor`: the down-load and the MIDI monitor run from a
// terminal, over the same ports and sequencer as the window.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/cli.h"
#include "app/devices/settings.h"
#include "app/end_signals.h"
#include "platform/api/devices.h"

namespace brisca::cli {

// How often Ctrl-C was pressed since the command began.
using InterruptCount = std::function<int()>;

// `store` holds the remembered choices (null: none remembered).
int run_send(MidiService& service, SettingsStore* store, const Args& args, Streams io,
             const InterruptCount& interrupts);
int run_monitor(MidiService& service, SettingsStore* store, const Args& args, Streams io,
                const InterruptCount& interrupts);

// `briscatool receive`: the options as given, and the work over them.
struct ReceiveOptions {
  std::string midi_in;            // empty: the remembered choice, else the first port
  std::string folder = ".";       // where the sound files go
  long count = 0;                 // end after this many sounds; 0: no limit
  std::optional<double> seconds;  // end after this long
  bool live_progress = false;     // rewrite the progress line in place (a terminal)
  bool wait = false;              // a lost input is waited for instead of ending the command
};
int parse_receive_options(const Args& args, ReceiveOptions& options, std::ostream& err);
// Exit 0 when every sound that began arrived whole and was written, 1 otherwise.
int run_receive(MidiService& service, SettingsStore* store, const ReceiveOptions& options,
                Streams io, const InterruptCount& interrupts);

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
