// The down-load as the window (and the command line) drive it: the MIDI output port and the
// sequencer, with the order of closing that keeps their shared buffers safe: the device is
// always closed before the sequencer frees the message it was sending from.
#pragma once

#include <functional>
#include <memory>

#include "download/midi_out_port.h"
#include "download/send_gate.h"
#include "download/sequencer.h"

namespace brisca {

class Download {
 public:
  Download(MidiService& service, SoundList& list, WindowPort& window)
      : window_(window), port_(service), sequencer_(list, window, port_) {
    sequencer_.on_finished([this](const SendSummary& summary) {
      if (gate_) gate_->close();
      if (finished_) finished_(summary);
    });
  }
  ~Download() { close(); }
  Download(const Download&) = delete;
  Download& operator=(const Download&) = delete;

  // Opens the output (entry of the name table, 0 = none); an open output is closed first, which
  // cuts a file being sent short. Between two files the down-load goes on with the next one on
  // the new output, or ends when it did not open. Returns the choice, or 0.
  int open(int choice) {
    if (!sequencer_.between_files()) {
      close();
      return port_.open(choice);
    }
    // Nothing is in flight between two files: the start of the next one, already on its way,
    // finds the new output, whose lock is taken in place of the old one's.
    port_.close();
    const int result = port_.open(choice);
    bool go_on = result != 0;
    if (go_on && gate_) {
      gate_->close();
      go_on = gate_->open();
    }
    if (!go_on) sequencer_.abort(CutReason::PortClosed);
    return result;
  }
  // A file being sent is cut short and selected again; a message cut in the middle is ended
  // with a lone F7 before the device closes.
  void close() {
    end_message();
    port_.close();
    sequencer_.abort(CutReason::PortClosed);
  }
  // Ends the down-load at once, keeping the output's choice for the next send.
  void abort_now() {
    end_message();
    port_.close_lost();
    sequencer_.abort(CutReason::Aborted);
  }

  // After the device was lost, sending opens it again first.
  void send_files() {
    port_.reopen();
    sequencer_.send_files();
  }
  void request_stop() { sequencer_.request_stop(); }
  void on_timer(int id) {
    if (id == kDownloadTimerId) sequencer_.on_tick();
  }
  void on_next_download() { sequencer_.on_next_download(); }
  bool is_sending() const { return sequencer_.is_sending(); }

  // From now on each down-load takes its destination's lock and asks about other senders
  // (`shared`: sends without asking).
  void guard_destination(bool shared) {
    gate_ = std::make_unique<SendGate>(port_, window_, shared);
    sequencer_.set_gate([this] { return gate_->open(); });
  }
  const SendGate* gate() const { return gate_.get(); }
  // Told when a down-load has ended, with what it sent.
  void on_finished(std::function<void(const SendSummary&)> listener) {
    finished_ = std::move(listener);
  }

  MidiOutPort& port() { return port_; }
  DownloadSequencer& sequencer() { return sequencer_; }

 private:
  void end_message() {
    if (sequencer_.inside_message()) port_.send_end_of_message();
  }

  WindowPort& window_;
  MidiOutPort port_;
  DownloadSequencer sequencer_;
  std::unique_ptr<SendGate> gate_;
  std::function<void(const SendSummary&)> finished_;
};

}  // namespace brisca
