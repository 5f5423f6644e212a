// briscatool send [--midi-out ENTRY] [--wait[=S]] [--shared] [--skip-damaged] [--chunk BYTES]
// [--interval MS]
// [--file-gap MS] PATH...: gathers the PATHs as the window does, selects every row and down-loads
// them in list order through the output port and the sequencer, at the pace remembered for the
// output unless told otherwise (its first line names the pace). A kit given as a playlist goes in
// the playlist's order: with a playlist among the PATHs the list keeps the order the files were
// gathered in. Ctrl-C stops after the file being sent; a second Ctrl-C, SIGTERM or SIGHUP stops
// at once, and the output is closed before the command returns either way. Another BriscaTool
// sending to the same output refuses the send; other clients sending to it do too, unless
// --shared. Every file is checked before the first byte: a damaged one (cut short, or fewer
// blocks than its header counts) is named and nothing is sent, or with --skip-damaged it is left
// out and the rest is sent.
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <iostream>
#include <optional>

#include "app/cli/midi_commands.h"
#include "app/cli/send_progress.h"
#include "app/devices/pace_settings.h"
#include "common/loop_clock.h"
#include "download/damage_check.h"
#include "download/download.h"
#include "soundlist/gather.h"
#include "soundlist/kit.h"
#include "soundlist/playlist.h"

namespace brisca::cli {
namespace {

bool is_terminal(std::ostream& err) {
  return &err == &std::cerr && ::isatty(STDERR_FILENO);
}

// Whatever the window would show in a box is a line here; a question is answered no.
class SendSession final : private SoundListListener, private DownloadListener {
 public:
  SendSession(MidiService& service, SettingsStore* store, Streams io,
              const InterruptCount& interrupts)
      : service_(service),
        store_(store),
        io_(io),
        interrupts_(interrupts),
        progress_(io.err, is_terminal(io.err)),
        download_(service, list_, clock_) {}

  int run(const SendOptions& options) {
    if (!wait_for_port(service_, PortSide::Out, options.midi_out, options.wait, interrupts_,
                       io_.err))
      return kFailed;
    const ChosenPort port = choose_port(service_, store_, PortSide::Out, options.midi_out, io_.err);
    if (port.choice == 0) return kFailed;
    const int choice = port.choice;
    entry_ = port.entry;
    const std::string& entry = entry_;
    const Pace pace = pace_in_force(options, entry);
    if (const std::string problem = pace_problem(pace); !problem.empty()) {
      io_.err << "briscatool send: " << problem << '\n';
      return kUsage;
    }
    download_.sequencer().set_pace(pace);
    download_.guard_destination(options.shared);
    wire();
    gather(options.paths);
    if (list_.count() == 0) {
      io_.err << "briscatool send: no sound file to send\n";
      return kFailed;
    }
    list_.select_all(true);
    if (!check_damaged(options.skip_damaged)) return kFailed;
    if (download_.open(choice) == 0) {
      io_.err << "briscatool send: the MIDI output \"" << entry << "\" cannot be opened\n";
      return kFailed;
    }
    progress_.note("Sending " + std::to_string(list_.count()) + " file(s) to " + entry + ", " +
                   pace_text(pace));
    progress_.begin(list_.state().selected_blocks);
    if (const std::optional<Notice> refused = download_.send_files()) tell(*refused);
    const SendGate* gate = download_.gate();
    refused_start_ = gate->refusal() != SendGate::Refusal::None;
    if (gate->refusal() == SendGate::Refusal::Shared)
      progress_.note("briscatool send: nothing sent (--shared sends all the same)");
    clock_.run([this] { return check_interrupts() || !download_.sequencer().is_busy(); });
    download_.close();
    return finish();
  }

 private:
  // The pace remembered for the output (else the default), with each field given replacing its.
  Pace pace_in_force(const SendOptions& options, const std::string& entry) const {
    Pace pace = pace_for_output(store_, entry);
    if (options.chunk_bytes) pace.chunk_bytes = *options.chunk_bytes;
    if (options.interval_ms) pace.interval_ms = *options.interval_ms;
    if (options.file_gap_ms) pace.file_gap_ms = *options.file_gap_ms;
    return pace;
  }

  void wire() {
    list_.set_listener(this);
    download_.set_listener(this);
  }

  void tell(const Notice& notice) {
    progress_.note(notice.caption + ": " + notice.text);
    ++boxes_;
  }

  // SoundListListener
  void not_added(const Notice& notice) override { tell(notice); }

  // DownloadListener
  void total_blocks(int total) override {
    if (download_.is_sending())
      progress_.update(current(), total, download_.sequencer().milliseconds_left());
  }
  void file_done(RowId row, const FileOutcome& outcome) override {
    const int index = list_.index_of(row);
    if (outcome.whole())
      progress_.note((index < 0 ? std::string() : list_.row(index).name) + ": sent");
    else
      cut_ = outcome.cut;
  }
  void cannot_open(RowId /*row*/, const Notice& notice) override { tell(notice); }
  void finished(const SendSummary& summary) override { progress_.note(summary_text(summary)); }

  // Each PATH must add at least one row; a file refused with a warning, and a kit's entry
  // skipped, count as not sent. A kit's notes are told as they come.
  void gather(const std::vector<std::string>& paths) {
    if (std::any_of(paths.begin(), paths.end(),
                    [](const std::string& p) { return is_playlist_name(p); }))
      list_.set_sorted(false);
    Gatherer gatherer(list_);
    int notes = 0;
    gatherer.on_kit_note([this, &notes](const KitNote& note) {
      progress_.note(kit_note_text(note, "sent"));
      ++notes;
      if (note.kind == KitNote::Kind::Repeated)
        ++repeated_;
      else
        ++refused_;
    });
    for (const std::string& path : paths) {
      const int before = list_.count(), notes_before = notes;
      gatherer.add_path(path);
      if (list_.count() == before && notes == notes_before) {
        progress_.note(path + ": no sound file added");
        ++refused_;
      }
    }
    refused_ += boxes_;
  }

  // Every file is read through before the first byte goes out. A damaged one is named; then
  // nothing is sent, or with --skip-damaged the rest is. False when nothing is to be sent.
  bool check_damaged(bool skip) {
    const std::vector<DamagedFile> damaged = damaged_selection(list_);
    if (damaged.empty()) return true;
    for (const DamagedFile& file : damaged)
      progress_.note(file.name + ": " + file.problem + (skip ? "; damaged, skipped" : "; damaged"));
    if (!skip) {
      progress_.note("briscatool send: nothing sent (--skip-damaged sends the whole files)");
      return false;
    }
    // The damaged rows leave the list, so that the summary counts the files meant to go.
    list_.select_all(false);
    for (const DamagedFile& file : damaged) list_.select(file.row);
    list_.remove_selected();
    if (list_.count() == 0) {
      io_.err << "briscatool send: no sound file to send\n";
      return false;
    }
    list_.select_all(true);
    return true;
  }

  std::string current() const {
    const int row = list_.index_of(download_.sequencer().sending_row());
    return row < 0 ? std::string() : list_.row(row).name;
  }

  // True when the loop is to end now.
  bool check_interrupts() {
    const int presses = interrupts_ ? interrupts_() : 0;
    if (presses >= 2 && !aborted_) {  // a second Ctrl-C, SIGTERM or SIGHUP: stop at once
      stopping_ = aborted_ = true;
      download_.abort_now();
    } else if (presses == 1 && !stopping_) {
      stopping_ = true;
      download_.sequencer().stop_at_next_sound();
      const std::string file = current();  // none during a pause between files
      progress_.note((file.empty()
                          ? std::string("Stopping before the next file")
                          : "Stopping after " + file + ", " +
                                time_left_text(download_.sequencer().milliseconds_left())) +
                     " (Ctrl-C again to stop at once)");
    }
    return aborted_;
  }

  int finish() {
    if (cut_ && cut_->reason == CutReason::Damaged) {
      progress_.note(cut_->name + ": " + cut_->problem + "; damaged, not sent completely");
    } else if (cut_ && cut_->reason == CutReason::Unplugged) {
      progress_.note(entry_ + " was unplugged after block " + std::to_string(cut_->blocks_done) +
                     " of " + std::to_string(cut_->blocks_total) + " of " + cut_->name);
    } else if (cut_) {
      const char* why = cut_->reason == CutReason::DeviceLost ? "the MIDI output stopped responding"
                        : cut_->reason == CutReason::Aborted  ? "stopped at once"
                                                              : "the MIDI output was closed";
      progress_.note(cut_->name + ": cut short, not sent completely (" + why + ")");
    }
    int sent = 0;
    bool first_unsent = true;
    for (int row = 0; row < list_.count(); ++row) {
      if (list_.row(row).sent && !list_.row(row).selected) {
        ++sent;
      } else if (first_unsent && !stopping_ && !cut_ && !refused_start_) {
        progress_.note(list_.row(row).name + ": could not be opened; the down-load stopped there");
        first_unsent = false;
      }
    }
    std::string repeats;
    if (repeated_ > 0)
      repeats = "; " + std::to_string(repeated_) +
                (repeated_ == 1 ? " file listed again sent once" : " files listed again sent once");
    progress_.note("Sent " + std::to_string(sent) + " of " + std::to_string(list_.count()) +
                   (list_.count() == 1 ? " file" : " files") + repeats);
    progress_.end();
    return sent == list_.count() && refused_ == 0 ? kOk : kFailed;
  }

  MidiService& service_;
  SettingsStore* store_;
  Streams io_;
  InterruptCount interrupts_;
  SendProgress progress_;
  LoopClock clock_;
  SoundList list_;
  Download download_;
  std::optional<CutShort> cut_;
  std::string entry_;  // the output's
  int boxes_ = 0;
  int refused_ = 0;
  int repeated_ = 0;  // files a kit lists more than once
  bool stopping_ = false;
  bool refused_start_ = false;
  bool aborted_ = false;
};

// A check that turns a pace field's problem into the option's error.
CLI::Validator pace_check(std::string (*problem)(long long)) {
  return CLI::Validator(
      [problem](std::string& text) -> std::string {
        const std::string given = text;
        if (!plain_decimal(text, true)) return "needs a whole number, not \"" + given + "\"";
        long long value = 0;  // read again from the plain text, exactly
        std::from_chars(text.data(), text.data() + text.size(), value);
        return problem(value);
      },
      "");
}

std::unique_ptr<CLI::App> send_command(SendOptions& options) {
  auto app = make_command("send",
                          "Down-loads sound files to the module: every file of the PATHs, in list "
                          "order (in the order gathered when a PATH is a playlist).");
  app->add_option("--midi-out", options.midi_out,
                  "the output's number or name as `briscatool devices` lists it (default: the "
                  "remembered choice, else the first)")
      ->type_name("ENTRY");
  add_wait_option(*app, options.wait, "output");
  app->add_flag("--shared", options.shared,
                "send even while other clients send to the output (their messages would mix "
                "with the sound on the way)");
  app->add_flag("--skip-damaged", options.skip_damaged,
                "send the whole files and skip the damaged ones, naming them (without it a "
                "damaged file is named and nothing is sent)");
  app->add_option("--chunk", options.chunk_bytes,
                  "bytes per chunk, 1 to 200 (default: the output's remembered pace, else 200)")
      ->type_name("BYTES")
      ->transform(pace_check(chunk_problem));
  app->add_option("--interval", options.interval_ms,
                  "milliseconds from one chunk to the next, 70 or more (default: the output's "
                  "remembered pace, else 70)")
      ->type_name("MS")
      ->transform(pace_check(interval_problem));
  app->add_option("--file-gap", options.file_gap_ms,
                  "a pause in milliseconds between two files (default: the output's remembered "
                  "pace, else 0)")
      ->type_name("MS")
      ->transform(pace_check(file_gap_problem));
  app->add_option("PATH", options.paths,
                  "a sound file, a folder (its files, not sub-folders) or a playlist (.m3u: a "
                  "kit, its sounds in order)")
      ->required()
      ->type_name("");
  app->footer(
      "Ctrl-C stops after the sound being sent; a second Ctrl-C stops at once.\n"
      "Another BriscaTool sending to the same output refuses the send, naming its process.\n"
      "A chunk goes only after the output reported the previous one done; faster than 200-byte\n"
      "chunks every 70 ms is not offered.\n"
      "Every file is read through first: a damaged one (cut short, or fewer blocks than its\n"
      "header counts) is named and nothing is sent, unless --skip-damaged.\n"
      "Exit status: 0 when every file was sent whole (those --skip-damaged skipped aside), 1\n"
      "otherwise, 2 for a usage error.");
  return app;
}

}  // namespace

int parse_send_options(const Args& args, SendOptions& options, Streams io) {
  auto app = send_command(options);
  return parse_command(*app, args, io);
}

int run_send(MidiService& service, SettingsStore* store, const SendOptions& options, Streams io,
             const InterruptCount& interrupts) {
  SendSession session(service, store, io, interrupts);
  return session.run(options);
}

int cmd_send(const Args& args, Streams io) {
  return run_midi_command<InterruptGuard>(args, io, parse_send_options, run_send);
}

}  // namespace brisca::cli
