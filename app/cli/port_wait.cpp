// `--wait[=SECONDS]` of the MIDI commands: before starting, wait for the named port to appear,
// told at once by the service's device watch, and by listing the ports again every two seconds
// all the same: a listing that failed (a server busy or just started) may have missed a port
// that was already there, which no watch reports again.
#include <chrono>
#include <ostream>
#include <string>

#include "app/cli/midi_commands.h"
#include "app/devices/name_tables.h"
#include "common/loop_clock.h"

namespace brisca::cli {
namespace {

constexpr std::chrono::milliseconds kListAgain{2000};

class Arrivals final : public DeviceWatchListener {
 public:
  void device_changed(const DeviceEvent& event) override {
    if (event.change == DeviceChange::Added) ++count;
  }
  int count = 0;
};

bool names_a_port(MidiService& service, PortSide side, const std::string& wanted) {
  const NameTable table = fill_midi_table(service);
  const std::vector<std::string>& entries = side == PortSide::In ? table.in : table.out;
  if (wanted.empty()) return entries.size() > 1;
  return find_entry(entries, wanted) != 0;  // several ports: choose_port tells
}

}  // namespace

void add_wait_option(CLI::App& app, WaitOption& wait, const std::string& ports) {
  const std::string description =
      "wait for the " + ports + " to appear before starting, at most SECONDS when given";
  app.add_flag("--wait{0}", description)
      ->type_name("[=SECONDS]")
      ->transform(decimal_check(
          "a number of seconds", [](double seconds) { return seconds >= 0 && seconds <= 1e9; },
          "S>=0"))
      ->each([&wait](const std::string& seconds) { wait = std::stod(seconds); });
}

bool wait_for_port(MidiService& service, PortSide side, const std::string& wanted,
                   const WaitOption& wait, const InterruptCount& interrupts, std::ostream& err) {
  if (!wait) return true;
  LoopClock clock;
  Arrivals arrivals;
  const std::unique_ptr<DeviceWatch> watch = service.watch(clock, arrivals);  // before looking
  if (names_a_port(service, side, wanted)) return true;
  const char* what = side == PortSide::In ? "input" : "output";
  err << "briscatool: waiting for "
      << (wanted.empty() ? std::string("a MIDI ") + what
                         : std::string("the MIDI ") + what + " \"" + wanted + "\"")
      << " to appear\n"
      << std::flush;
  const auto limit = *wait > 0 ? std::chrono::milliseconds(static_cast<long long>(*wait * 1000))
                               : std::chrono::hours(24 * 365);
  const auto until = clock.now() + limit;
  auto interrupted = [&] { return interrupts && interrupts() > 0; };
  while (clock.now() < until) {
    const int seen = arrivals.count;
    const auto left = std::chrono::duration_cast<Clock::Duration>(until - clock.now());
    clock.run([&] { return arrivals.count != seen || interrupted(); },
              std::min(left, Clock::Duration(kListAgain)));
    if (interrupted()) return false;
    if (names_a_port(service, side, wanted)) return true;
  }
  return true;
}

}  // namespace brisca::cli
