// briscatool receive [--midi-in ENTRY] [-o DIR] [--count N] [--seconds S]: listens on the MIDI
// input and writes each sound dump that arrives into DIR as a sound file. A progress line per
// sound (name, blocks so far of total) and a line per file written go to stdout. Ends after N
// sounds, S seconds, or Ctrl-C / SIGTERM / SIGHUP; a dump in progress is then written as partial.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <iostream>

#include "app/cli/console_window.h"
#include "app/cli/midi_commands.h"
#include "monitor/midi_in_port.h"
#include "receive/port_listener.h"
#include "receive/sound_receiver.h"

namespace brisca::cli {
namespace {

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

std::unique_ptr<CLI::App> receive_command(ReceiveOptions& options) {
  auto app = make_command("receive",
                          "Listens on the MIDI input and writes each sound dump that arrives "
                          "into a folder as a sound file.");
  app->add_option("--midi-in", options.midi_in,
                  "the input's number or name as `briscatool devices` lists it (default: the "
                  "remembered choice, else the first)")
      ->type_name("ENTRY");
  app->add_option("-o,--output", options.folder, "the folder for the sound files (default: .)")
      ->type_name("DIR");
  app->add_option("--count", options.count, "stop after N sounds")
      ->type_name("N")
      ->check(positive("sounds", true));
  app->add_option("--seconds", options.seconds, "stop after S seconds")
      ->type_name("S")
      ->check(positive("seconds", false));
  app->footer(
      "A sound that arrives incomplete is written as \"NAME (partial).mid\". Ctrl-C stops (a "
      "dump in progress is written as partial). Exit status: 0 when every sound arrived whole, "
      "1 when one was incomplete or could not be written or the input fails, 2 for a usage "
      "error.");
  return app;
}

int parse_receive_options(const Args& args, ReceiveOptions& options, Streams io) {
  auto app = receive_command(options);
  const int status = parse_command(*app, args, io);
  options.live_progress = &io.out == &std::cout && ::isatty(STDOUT_FILENO);
  return status;
}

int run_receive(MidiService& service, SettingsStore* store, const ReceiveOptions& options,
                Streams io, const InterruptCount& interrupts) {
  std::error_code ec;
  if (!std::filesystem::is_directory(options.folder, ec)) {
    io.err << "briscatool receive: \"" << options.folder << "\" is not a folder\n";
    return kFailed;
  }
  const ChosenPort chosen = choose_port(service, store, PortSide::In, options.midi_in, io.err);
  if (chosen.choice == 0) return kFailed;
  const int choice = chosen.choice;
  const std::string& entry = chosen.entry;

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
  return run_midi_command<StopSignals>(args, io, parse_receive_options, run_receive);
}

}  // namespace brisca::cli
