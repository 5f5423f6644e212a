// The window's down-load hooks over the down-load subsystem: the MIDI output port and the
// sequencer, driven by the window's buttons, keys, timer 1 and message 1044.
#pragma once

#include <string>

#include "app/hooks.h"
#include "download/download.h"

namespace brisca {

class DownloadWindowHooks final : public DownloadHooks {
 public:
  DownloadWindowHooks(MidiService& service, SoundList& list, WindowPort& window)
      : window_(window), download_(service, list, window) {
    download_.sequencer().on_cut_short([this](const CutShort& cut) { tell(cut); });
  }

  int open(int choice) override { return download_.open(choice); }
  void close() override { download_.close(); }
  void send_files() override { download_.send_files(); }
  void request_stop() override { download_.request_stop(); }
  void on_timer(int id) override { download_.on_timer(id); }
  void on_next_download() override { download_.on_next_download(); }
  bool is_sending() const override { return download_.is_sending(); }

  Download& download() { return download_; }

 private:
  // A device that stopped working mid-file is worth a word; a file cut short because the user
  // closed or reopened the output is not.
  void tell(const CutShort& cut) {
    if (cut.reason != CutReason::DeviceLost) return;
    window_.message_box("The MIDI output stopped responding. \"" + cut.name +
                            "\" was not sent completely and is still selected.",
                        "Send File(s)", BoxIcon::Warning, BoxButtons::Ok);
  }

  WindowPort& window_;
  Download download_;
};

}  // namespace brisca
