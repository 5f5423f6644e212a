// The down-load as the window (and the command line) drive it: the MIDI output port and the
// sequencer, with the order of closing that keeps their shared buffers safe: the device is
// always closed before the sequencer frees the message it was sending from.
#pragma once

#include <memory>
#include <optional>
#include <utility>

#include "download/midi_out_port.h"
#include "download/send_gate.h"
#include "download/sequencer.h"

namespace brisca {

class Download {
 public:
  Download(MidiService& service, SoundList& list, Clock& clock)
      : port_(service), sequencer_(list, clock, port_) {
    sequencer_.on_chain_end([this] {
      if (gate_) gate_->close();
    });
  }
  ~Download() { close(); }
  Download(const Download&) = delete;
  Download& operator=(const Download&) = delete;

  // Opens the output (entry of the name table, 0 = none); an open output is closed first, which
  // cuts a file being sent short. Between two files the down-load goes on with the next one on
  // the new output, or ends when it did not open or its lock is held elsewhere; when others
  // send to the new output, carry_over_question() asks whether to go on. Returns the choice,
  // or 0.
  int open(int choice) {
    carry_question_.reset();
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
      std::optional<Notice> notice = gate_->open();
      if (notice && notice->kind == Notice::Kind::Question)
        carry_question_ = std::move(notice);
      else
        go_on = !notice;
    }
    if (!go_on) sequencer_.abort(CutReason::PortClosed);
    return result;
  }
  // After open(): the question whether to go on sending to an output others send to; answer it
  // with carry_over().
  const std::optional<Notice>& carry_over_question() const { return carry_question_; }
  void carry_over(bool yes) {
    if (!std::exchange(carry_question_, std::nullopt) || !gate_) return;
    if (!yes || gate_->open(true)) sequencer_.abort(CutReason::PortClosed);
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

  // After the device was lost, sending opens it again first. Returns what the destination's
  // gate has to tell or ask when it let nothing start; after a yes to its question, send again
  // `confirmed`.
  std::optional<Notice> send_files(bool confirmed = false) {
    port_.reopen();
    confirmed_ = confirmed;
    sequencer_.send_files();
    return std::exchange(gate_notice_, std::nullopt);
  }
  // The question to ask before stopping at the next sound; nothing when nothing is sent.
  std::optional<Notice> request_stop() const { return sequencer_.request_stop(); }
  bool is_sending() const { return sequencer_.is_sending(); }

  // From now on each down-load takes its destination's lock and asks about other senders
  // (`shared`: sends without asking).
  void guard_destination(bool shared) {
    gate_ = std::make_unique<SendGate>(port_, shared);
    sequencer_.set_gate([this] {
      gate_notice_ = gate_->open(confirmed_);
      return !gate_notice_;
    });
  }
  const SendGate* gate() const { return gate_.get(); }
  // Told what the down-load does (null: nobody).
  void set_listener(DownloadListener* listener) { sequencer_.set_listener(listener); }

  MidiOutPort& port() { return port_; }
  DownloadSequencer& sequencer() { return sequencer_; }
  const DownloadSequencer& sequencer() const { return sequencer_; }

 private:
  void end_message() {
    if (sequencer_.inside_message()) (void)port_.send_end_of_message();
  }

  MidiOutPort port_;
  DownloadSequencer sequencer_;
  std::unique_ptr<SendGate> gate_;
  std::optional<Notice> gate_notice_;
  std::optional<Notice> carry_question_;
  bool confirmed_ = false;
};

}  // namespace brisca
