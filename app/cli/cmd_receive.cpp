// briscatool receive [--midi-in ENTRY] [-o DIR] [--count N] [--seconds S] [--wait[=S]]: listens on
// the MIDI input and writes each sound dump that arrives into DIR as a sound file. A progress
// line per sound (name, blocks so far of total) and a line per file written go to stdout. Ends
// after N sounds, S seconds, or Ctrl-C / SIGTERM / SIGHUP (EndSignals: the dump in progress is
// written as partial and the port closed, so a JACK server is not left waiting for a client
// that died). An input that is lost (its device or server gone) is told and ends it with status
// 1; with --wait it is tried again until it comes back.
#include <unistd.h>

#include <chrono>
#include <iostream>

#include "app/cli/midi_commands.h"
#include "common/loop_clock.h"
#include "monitor/midi_in_port.h"
#include "receive/port_listener.h"
#include "receive/sound_folder.h"
#include "receive/sound_receiver.h"

namespace brisca::cli {
namespace {

constexpr std::chrono::milliseconds kPollPeriod{100};

// The input's status, handed to a function.
class StatusWatch final : public MonitorListener {
 public:
  explicit StatusWatch(std::function<void(const InputStatus&)> told) : told_(std::move(told)) {}
  void status(const InputStatus& status) override { told_(status); }

 private:
  std::function<void(const InputStatus&)> told_;
};

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
      io_.err << "briscatool receive: " << s.sound.name << " not written: " << s.written.message()
              << '\n';
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
      ->transform(positive("sounds", true));
  app->add_option("--seconds", options.seconds, "stop after S seconds")
      ->type_name("S")
      ->transform(positive("seconds", false));
  add_wait_option(*app, options.wait, "input");
  app->get_option("--wait")->description(
      "wait for the input to appear before starting (at most SECONDS when given), and when "
      "it is lost (its device or server gone) wait for it to come back instead of ending");
  app->footer(
      "A sound that arrives incomplete is written as \"NAME (partial).mid\". Ctrl-C stops (a "
      "dump in progress is written as partial). Exit status: 0 when every sound arrived whole, "
      "1 when one was incomplete or could not be written or the input fails or is lost (unless "
      "--wait), 2 for a usage error.");
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
  if (const Status writable = check_folder_writable(options.folder); !writable) {
    io.err << "briscatool receive: \"" << options.folder << "\" " << writable.message() << '\n';
    return kFailed;
  }
  if (!wait_for_port(service, PortSide::In, options.midi_in, options.wait, interrupts, io.err))
    return kFailed;
  const ChosenPort chosen = choose_port(service, store, PortSide::In, options.midi_in, io.err);
  if (chosen.choice == 0) return kFailed;
  const int choice = chosen.choice;
  const std::string& entry = chosen.entry;

  ReceivePrinter printer(io, options.live_progress);
  SoundReceiver receiver(options.folder, printer);
  LoopClock clock;
  ReceiverListener listener(receiver, clock);
  bool lost = false;  // and not back
  bool ever_lost = false;
  MidiInPort* input = nullptr;
  StatusWatch watch([&](const InputStatus& status) {
    // Closing the port at the end clears the loss as well: only a reopened device is back.
    if (status.lost == lost || (!status.lost && !input->is_open())) return;
    lost = status.lost;
    const std::string text = "briscatool receive: the MIDI input \"" + entry + "\" ";
    if (lost) {
      ever_lost = true;
      io.err << text << "was lost" << (options.wait ? "; waiting for it to come back" : "") << '\n'
             << std::flush;
      receiver.stop("the input was lost");  // the rest of a dump in progress is gone with it
    } else {
      io.err << text << "is back\n" << std::flush;
    }
  });
  MidiInPort port(service, clock, &watch);
  input = &port;
  port.set_listener(&listener);
  port.keep_reopening(options.wait.has_value());
  if (!port.open(choice)) {
    io.err << "briscatool receive: the MIDI input \"" << entry << "\" cannot be opened\n";
    return kFailed;
  }
  ScopedTimer poll;
  poll.every(clock, kPollPeriod, [&] { receiver.poll(clock.now()); });
  io.err << "Receiving on " << entry << " into " << options.folder << " (Ctrl-C to stop)\n"
         << std::flush;
  const auto limit =
      options.seconds ? std::chrono::milliseconds(static_cast<long long>(*options.seconds * 1000))
                      : std::chrono::hours(24 * 365);
  clock.run(
      [&] {
        return (lost && !options.wait) || (interrupts && interrupts() > 0) ||
               (options.count > 0 && printer.ended() >= options.count);
      },
      limit);
  port.close();
  receiver.stop();
  const bool all_whole = receiver.incomplete_count() == 0 && receiver.unwritten_count() == 0;
  return all_whole && !(ever_lost && !options.wait) ? kOk : kFailed;
}

int cmd_receive(const Args& args, Streams io) {
  return run_midi_command<InterruptGuard>(args, io, parse_receive_options, run_receive);
}

}  // namespace brisca::cli
