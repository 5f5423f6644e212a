// The down-load sequencer: sends the selected rows' files to the module, top row first, one
// System Exclusive chunk at a time. A chunk goes to the port only when the port has reported the
// previous one done; the window's timer hands over at most one done report per tick, which paces
// the down-load. The pace sets the chunk size (200 bytes), the tick (70 ms) and a pause between
// two files (none); see download/pace.h.
//
// Everything here runs on the window's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/window_port.h"
#include "download/midi_out_port.h"
#include "download/pace.h"
#include "soundfile/sound_check.h"
#include "soundfile/track_reader.h"
#include "soundlist/sound_list.h"

namespace brisca {

// The file being sent. Zeroed as a whole when a file starts.
struct DownloadState {
  std::optional<TrackReader> file;  // open while track bytes remain; counts them down
  std::uint32_t message_length = 0;
  std::uint32_t next_offset = 0;            // 0: no further chunk of the current message is due
  std::unique_ptr<std::uint8_t[]> message;  // the whole message, F0 first
  SoundCheck check;                         // what the track held so far
};

struct DownloadFlags {
  int sending = 0;        // a file has started and its end is not handled yet
  int continue_flag = 0;  // go on with the next selected row when this file ends
};

// Why a file was cut short.
enum class CutReason {
  PortClosed,  // the output was closed (MIDI setup confirmed, window closed)
  DeviceLost,  // the device failed a send, closed itself, or stopped reporting chunks done
  Aborted,     // the caller asked to stop at once
  Damaged,     // the file's track was cut, or it held fewer blocks than its header counts
};

struct CutShort {
  CutReason reason;
  int row;
  std::string name;     // the row's text
  std::string problem;  // Damaged: what was wrong ("ends after 13 of 27 blocks")
};

// What one down-load (from "Send File(s)" until nothing more is sent) did.
struct SendSummary {
  int sounds = 0;  // files sent whole
  int blocks = 0;  // their rows' block counts
};

// "5 sounds, 93 blocks sent".
std::string summary_text(const SendSummary& summary);
// "1:05 left" for a number of milliseconds, rounded up to whole seconds.
std::string time_left_text(int milliseconds);

// Row marks, as the sound list's mark_item takes them.
inline constexpr int kMarkSent = 0;
inline constexpr int kMarkSending = 1;
inline constexpr int kMarkStep = 2;

class DownloadSequencer {
 public:
  static constexpr int kTickMs = Pace::kMinIntervalMs;
  // Ticks of 70 ms a chunk may stay unreported before the device counts as lost (about 2 s); a
  // working device reports a 200-byte chunk done within one or two ticks. Longer ticks wait
  // about as long, and never fewer than two ticks.
  static constexpr int kDoneWaitTicks = 29;

  DownloadSequencer(SoundList& list, WindowPort& window, MidiOutPort& port)
      : list_(list), window_(window), port_(port) {}

  // "Send File(s)" and Enter: continue, then start the next selected file.
  void send_files();
  void start_next_file();
  void step(MidiHeader* done);
  // Timer 1: takes one report from the port's ring.
  void on_tick();
  // Message 1044, posted when a file was sent and the down-load goes on.
  void on_next_download();
  // "Stop" and Escape: asks, while a file is being sent, whether to stop at the next sound.
  void request_stop();
  // Stops after the file being sent, without asking.
  void stop_at_next_sound() { flags_.continue_flag = 0; }
  // Ends the down-load now. The device must be closed already (its buffers are freed here).
  // The row being sent is selected again: it was not sent completely.
  void abort(CutReason reason);

  // A message has begun at the device and its last chunk has not been reported done: cutting
  // the down-load now leaves the module's receiver inside a System Exclusive message.
  bool inside_message() const { return inside_message_; }

  bool is_sending() const { return flags_.sending != 0; }
  // Sending, or about to start the next file (message 1044 on its way).
  bool is_busy() const { return flags_.sending != 0 || next_posted_; }
  bool between_files() const { return flags_.sending == 0 && next_posted_; }
  const DownloadState& state() const { return state_; }
  const DownloadFlags& flags() const { return flags_; }

  void on_cut_short(std::function<void(const CutShort&)> listener) {
    cut_listener_ = std::move(listener);
  }
  // Asked when "Send File(s)" starts a down-load while none is going on: false starts nothing.
  void set_gate(std::function<bool()> gate) { gate_ = std::move(gate); }
  // Told once when a down-load the gate let through has ended, however it ended.
  void on_finished(std::function<void(const SendSummary&)> listener) {
    finished_listener_ = std::move(listener);
  }
  // Milliseconds the blocks left take at one chunk per tick, with the pauses between files: the
  // whole down-load, or only the file being sent once the down-load stops after it.
  int milliseconds_left() const;

  // The pace from the next chunk on (the tick from the next file on). The default is 200-byte
  // chunks every 70 ms with no pause between files.
  void set_pace(const Pace& pace) { pace_ = pace; }
  const Pace& pace() const { return pace_; }
  // Between two files, waiting out the pause before the next one.
  bool in_file_gap() const { return gap_waiting_; }

 private:
  void send_chunk(MidiHeader* done);
  bool send_next_message(MidiHeader* done);
  void hand_over(MidiHeader& header);
  void lose_device();
  void end_file();
  void finish_chain();
  void give_back(CutShort cut);
  void mark_row(int index, int kind);
  void show_total();
  void start_after_gap();
  int done_wait_ticks() const;
  int chunks_per_block() const;
  int files_waiting() const;

  SoundList& list_;
  WindowPort& window_;
  MidiOutPort& port_;
  DownloadState state_;
  DownloadFlags flags_;
  MidiHeader* outstanding_ = nullptr;  // the chunk the port has not reported done yet
  int waited_ticks_ = 0;
  bool next_posted_ = false;  // a 1044 is on its way, or its pause before the next file runs
  bool gap_waiting_ = false;  // the download timer times the pause before the next file
  Pace pace_;
  bool inside_message_ = false;
  bool owe_end_ = false;
  bool chain_ = false;  // a down-load is going on (the gate let it through)
  SendSummary summary_;
  std::function<void(const CutShort&)> cut_listener_;
  std::function<bool()> gate_;
  std::function<void(const SendSummary&)> finished_listener_;
};

}  // namespace brisca
