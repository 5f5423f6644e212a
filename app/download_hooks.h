// The window's down-load hooks over the down-load subsystem: the MIDI output port and the
// sequencer, driven by the window's buttons, keys, timer 1 and message 1044. Each down-load
// takes its destination's lock and asks about other senders first; while it runs the window's
// status line shows the time left, and at its end what was sent. Each output opened sends at its
// own pace.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/hooks.h"
#include "download/damage_check.h"
#include "download/download.h"

namespace brisca {

class DownloadWindowHooks final : public DownloadHooks {
 public:
  // `status` shows a line in the window (`stays`: until replaced, else for a few seconds).
  using StatusLine = std::function<void(const std::string& text, bool stays)>;

  DownloadWindowHooks(MidiService& service, SoundList& list, WindowPort& window)
      : list_(list), window_(window), download_(service, list, window) {
    download_.guard_destination(false);
    download_.sequencer().on_cut_short([this](const CutShort& cut) { tell(cut); });
    download_.on_finished(
        [this](const SendSummary& summary) { show(summary_text(summary), false); });
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
    if (busy && !download_.sequencer().is_busy())
      window_.message_box(
          "The down-load stopped: the MIDI output was set up again while it was sending. The "
          "sounds not sent are still selected.",
          "Send File(s)", BoxIcon::Warning, BoxButtons::Ok);
    return result;
  }
  void close() override { download_.close(); }
  // A new down-load with a damaged file selected names it and sends nothing.
  void send_files() override {
    if (!download_.sequencer().is_busy()) {
      const std::vector<DamagedFile> damaged = damaged_selection(list_);
      if (!damaged.empty()) {
        window_.message_box(damaged_box_text(damaged), "Send File(s)", BoxIcon::Warning,
                            BoxButtons::Ok);
        return;
      }
    }
    download_.send_files();
  }
  void request_stop() override { download_.request_stop(); }
  void on_timer(int id) override {
    download_.on_timer(id);
    if (!download_.is_sending()) return;
    const std::string left = time_left_text(download_.sequencer().milliseconds_left());
    if (left != shown_) show(left, true);
  }
  void on_next_download() override { download_.on_next_download(); }
  bool is_sending() const override { return download_.is_sending(); }

  Download& download() { return download_; }

 private:
  // A device that stopped working mid-file, or a damaged file, is worth a word; a file cut
  // short because the user closed or reopened the output is told by open() or not at all.
  void tell(const CutShort& cut) {
    if (cut.reason == CutReason::Damaged) {
      window_.message_box(cut.name + " " + cut.problem +
                              ": the file is damaged. It was not sent completely and is still "
                              "selected.",
                          "Send File(s)", BoxIcon::Warning, BoxButtons::Ok);
    } else if (cut.reason == CutReason::DeviceLost) {
      window_.message_box("The MIDI output stopped responding. \"" + cut.name +
                              "\" was not sent completely and is still selected.",
                          "Send File(s)", BoxIcon::Warning, BoxButtons::Ok);
    }
  }
  void show(const std::string& text, bool stays) {
    shown_ = text;
    if (status_) status_(text, stays);
  }

  SoundList& list_;
  WindowPort& window_;
  Download download_;
  StatusLine status_;
  std::function<Pace(int choice)> pace_of_;
  std::string shown_;
};

}  // namespace brisca
