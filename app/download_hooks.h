// The window's down-load hooks over the down-load subsystem: the MIDI output port and the
// sequencer, driven by the window's buttons and keys and paced by the window's clock. Each
// down-load takes its destination's lock and asks about other senders first; while it runs the
// window's status line shows the time left, and at its end what was sent. Each output opened
// sends at its own pace. What the user is told or asked goes through `ask`.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/hooks.h"
#include "common/notice.h"
#include "download/damage_check.h"
#include "download/download.h"

namespace brisca {

class DownloadWindowHooks final : public DownloadHooks, private DownloadListener {
 public:
  // `status` shows a line in the window (`stays`: until replaced, else for a few seconds).
  using StatusLine = std::function<void(const std::string& text, bool stays)>;

  DownloadWindowHooks(MidiService& service, SoundList& list, Clock& clock, AskUser ask)
      : list_(list), ask_(std::move(ask)), download_(service, list, clock) {
    download_.guard_destination(false);
    download_.set_listener(this);
  }

  void set_status_line(StatusLine status) { status_ = std::move(status); }
  // The pace of an output's entry (the one remembered for it, else the default).
  void set_pace_source(std::function<Pace(int choice)> pace_of) { pace_of_ = std::move(pace_of); }
  const Pace& pace() { return download_.sequencer().pace(); }

  // MIDI setup confirmed: a down-load going on is either carried over to the new output (it was
  // between two files) or stopped, and then the user is told.
  int open(int choice) override {
    const bool busy = download_.sequencer().is_busy();
    if (pace_of_) download_.sequencer().set_pace(pace_of_(choice));
    const int result = download_.open(choice);
    if (const std::optional<Notice>& carry = download_.carry_over_question())
      download_.carry_over(ask_(*carry));
    if (busy && !download_.sequencer().is_busy())
      ask_(
          warning("The down-load stopped: the MIDI output was set up again while it was "
                  "sending. The sounds not sent are still selected.",
                  "Send File(s)"));
    return result;
  }
  void close() override { download_.close(); }
  // A new down-load with a damaged file selected names it and sends nothing.
  void send_files() override {
    if (!download_.sequencer().is_busy()) {
      const std::vector<DamagedFile> damaged = damaged_selection(list_);
      if (!damaged.empty()) {
        ask_(warning(damaged_box_text(damaged), "Send File(s)"));
        return;
      }
    }
    const std::optional<Notice> refused = download_.send_files();
    if (refused && ask_(*refused) && refused->kind == Notice::Kind::Question)
      static_cast<void>(download_.send_files(true));
  }
  void request_stop() override {
    if (const std::optional<Notice> stop = download_.request_stop(); stop && ask_(*stop))
      download_.sequencer().stop_at_next_sound();
  }
  bool is_sending() const override { return download_.is_sending(); }

  Download& download() { return download_; }

 private:
  void time_left(int milliseconds) override {
    const std::string left = time_left_text(milliseconds);
    if (left != shown_) show(left, true);
  }
  // A device that stopped working mid-file, or a damaged file, is worth a word; a file cut
  // short because the user closed or reopened the output is told by open() or not at all.
  void file_done(RowId /*row*/, const FileOutcome& outcome) override {
    if (outcome.whole()) return;
    const CutShort& cut = *outcome.cut;
    if (cut.reason == CutReason::Damaged) {
      ask_(warning(cut.name + " " + cut.problem +
                       ": the file is damaged. It was not sent completely and is still selected.",
                   "Send File(s)"));
    } else if (cut.reason == CutReason::DeviceLost || cut.reason == CutReason::Unplugged) {
      ask_(warning("The MIDI output stopped responding. \"" + cut.name +
                       "\" was not sent completely and is still selected.",
                   "Send File(s)"));
    }
  }
  void cannot_open(RowId /*row*/, const Notice& notice) override { ask_(notice); }
  void finished(const SendSummary& summary) override { show(summary_text(summary), false); }

  void show(const std::string& text, bool stays) {
    shown_ = text;
    if (status_) status_(text, stays);
  }

  SoundList& list_;
  AskUser ask_;
  Download download_;
  StatusLine status_;
  std::function<Pace(int choice)> pace_of_;
  std::string shown_;
};

}  // namespace brisca
