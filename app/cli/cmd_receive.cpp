// briscatool receive [--midi-in ENTRY] [-o DIR] [--count N] [--seconds S]: listens on the MIDI
// input and writes each sound dump that arrives into DIR as a sound file. A progress line per
// sound (name, blocks so far of total) and a line per file written go to stdout. Ends after N
// sounds, S seconds, or Ctrl-C / SIGTERM / SIGHUP; a dump in progress is then written as partial.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <iostream>

#include "app/cli/console_window.h"
#include "app/cli/midi_commands.h"
#include "app/devices/name_tables.h"
#include "app/devices/qt_settings_store.h"
#include "app/devices/services.h"
#include "monitor/midi_in_port.h"
#include "receive/port_listener.h"
#include "receive/sound_receiver.h"

namespace brisca::cli {
namespace {

constexpr const char* kUsageText =
    "usage: briscatool receive [--midi-in ENTRY] [-o DIR] [--count N] [--seconds S]\n";
constexpr int kPollTimerId = 2;
constexpr int kPollPeriodMs = 100;

// The progress line of the sound being received and a line per sound that ended.
class ReceivePrinter : public ReceiveEvents {
 public:
  ReceivePrinter(Streams io, bool live) : io_(io), live_(live) {}

  void sound_begun(const SoundProgress& sound) override { show(sound, true); }
  void block_received(const SoundProgress& sound) override { show(sound, false); }
  void sound_ended(const ReceivedSound& s) override {
    if (live_) io_.out << '\r';
    io_.out << progress_text(s.sound) << '\n';
    ++ended_;
    if (s.path.empty()) {
      io_.err << "briscatool receive: " << s.sound.name << " not written: " << s.error << '\n';
    } else if (s.whole) {
      io_.out << "Wrote " << s.path << '\n';
    } else {
      io_.out << "Wrote " << s.path << ": incomplete, " << s.reason;
      if (!s.missing.empty())
        io_.out << "; missing " << (s.missing_count == 1 ? "block " : "blocks ") << s.missing;
      io_.out << '\n';
    }
    io_.out << std::flush;
  }
  int ended() const { return ended_; }

 private:
  static std::string progress_text(const SoundProgress& s) {
    std::string text = s.name + ": " + std::to_string(s.blocks_received);
    if (s.total_blocks > 0) text += " of " + std::to_string(s.total_blocks);
    return text + " blocks";
  }
  // On a terminal the line is rewritten in place, at most ten times a second.
  void show(const SoundProgress& sound, bool first) {
    if (!live_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!first && now - shown_ < std::chrono::milliseconds(100)) return;
    shown_ = now;
    io_.out << '\r' << progress_text(sound) << std::flush;
  }

  Streams io_;
  bool live_;
  int ended_ = 0;
  std::chrono::steady_clock::time_point shown_{};
};

bool read_positive(const std::string& text, double& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value > 0 && value <= 1e7;
}

// SIGINT, SIGTERM and SIGHUP end the command the orderly way (the dump in progress written, the
// port closed, so a JACK server is not left waiting for a client that died); a second signal
// brings back the previous handling.
std::atomic<int> g_stops{0};
struct sigaction g_previous[3];
constexpr int kStopSignals[3] = {SIGINT, SIGTERM, SIGHUP};

void on_stop_signal(int) {
  if (g_stops.fetch_add(1) + 1 >= 2)
    for (int i = 0; i < 3; ++i) sigaction(kStopSignals[i], &g_previous[i], nullptr);
}

class StopSignals {
 public:
  StopSignals() {
    g_stops.store(0);
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i) sigaction(kStopSignals[i], &action, &g_previous[i]);
  }
  ~StopSignals() {
    for (int i = 0; i < 3; ++i) sigaction(kStopSignals[i], &g_previous[i], nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
  static int count() { return g_stops.load(); }
};

}  // namespace

// Usage errors go to `err` and give kUsage.
int parse_receive_options(const Args& args, ReceiveOptions& options, std::ostream& err) {
  Parsed parsed = parse_args(args, {}, {"midi-in", "o", "output", "count", "seconds"});
  std::string error = parsed.error;
  if (error.empty() && !parsed.positional.empty()) error = "unexpected " + parsed.positional[0];
  options.midi_in = parsed.value("midi-in");
  options.folder = parsed.value("o", parsed.value("output", "."));
  double value = 0;
  if (error.empty() && parsed.has("count")) {
    const std::string text = parsed.value("count");
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), options.count);
    if (ec != std::errc() || end != text.data() + text.size() || options.count <= 0)
      error = "--count needs a positive whole number, not \"" + text + "\"";
  }
  if (error.empty() && parsed.has("seconds")) {
    if (read_positive(parsed.value("seconds"), value))
      options.seconds = value;
    else
      error =
          "--seconds needs a positive number of seconds, not \"" + parsed.value("seconds") + "\"";
  }
  if (error.empty()) return kOk;
  err << "briscatool receive: " << error << '\n' << kUsageText;
  return kUsage;
}

int run_receive(MidiService& service, SettingsStore* store, const ReceiveOptions& options,
                Streams io, const InterruptCount& interrupts) {
  std::error_code ec;
  if (!std::filesystem::is_directory(options.folder, ec)) {
    io.err << "briscatool receive: \"" << options.folder << "\" is not a folder\n";
    return kFailed;
  }
  const NameTable table = fill_midi_table(service);
  const int remembered = settings_operation(kReadMidiIn, 0, store, table, NameTable{});
  const int choice = resolve_entry(table.in, options.midi_in, remembered, "midi-in", io.err);
  if (choice == 0) return kFailed;
  const std::string& entry = table.in[static_cast<std::size_t>(choice)];

  ReceivePrinter printer(io, options.live_progress);
  SoundReceiver receiver(options.folder, printer);
  ReceiverListener listener(receiver);
  ConsoleWindow window;
  MidiInPort port(service);
  port.set_listener(&listener);
  window.on_message([&](WindowMessage m, std::uintptr_t wparam, std::uintptr_t lparam) {
    if (m == WindowMessage::MidiInput) port.handle_input_event(wparam, lparam);
  });
  window.on_timer([&](int) { receiver.poll(SoundReceiver::Clock::now()); });
  if (port.open(&window, choice) == 0) {
    io.err << "briscatool receive: the MIDI input \"" << entry << "\" cannot be opened\n";
    return kFailed;
  }
  window.start_timer(kPollTimerId, kPollPeriodMs);
  io.err << "Receiving on " << entry << " into " << options.folder << " (Ctrl-C to stop)\n"
         << std::flush;
  const auto limit =
      options.seconds ? std::chrono::milliseconds(static_cast<long long>(*options.seconds * 1000))
                      : std::chrono::hours(24 * 365);
  window.run(
      [&] {
        return (interrupts && interrupts() > 0) ||
               (options.count > 0 && printer.ended() >= options.count);
      },
      limit);
  port.close();
  receiver.stop();
  const bool all_whole = receiver.incomplete_count() == 0 && receiver.unwritten_count() == 0;
  return all_whole ? kOk : kFailed;
}

int cmd_receive(const Args& args, Streams io) {
  ReceiveOptions options;
  if (const int status = parse_receive_options(args, options, io.err); status != kOk) return status;
  options.live_progress = &io.out == &std::cout && ::isatty(STDOUT_FILENO);
  auto service = make_midi_service();
  QtSettingsStore store;
  StopSignals stop_signals;
  return run_receive(*service, &store, options, io, &StopSignals::count);
}

}  // namespace brisca::cli
