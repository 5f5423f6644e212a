// The down-load sequencer: sends the selected rows' files to the module, top row first, one
// System Exclusive chunk at a time. A chunk goes to the port only when the port has reported the
// previous one done; a tick on the sequencer's clock hands over at most one done report, which
// paces the down-load. The pace sets the chunk size (200 bytes), the tick (70 ms) and a pause
// between two files (none); see download/pace.h.
//
// Everything here runs on the clock's thread; what happens is told to a DownloadListener.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/clock.h"
#include "common/notice.h"
#include "download/download_listener.h"
#include "download/midi_out_port.h"
#include "pace/pace.h"
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

// "5 sounds, 93 blocks sent".
std::string summary_text(const SendSummary& summary);
// "1:05 left" for a number of milliseconds, rounded up to whole seconds.
std::string time_left_text(int milliseconds);

class DownloadSequencer {
 public:
  static constexpr int kTickMs = Pace::kMinIntervalMs;
  // Ticks of 70 ms a chunk may stay unreported before the device counts as lost (about 2 s); a
  // working device reports a 200-byte chunk done within one or two ticks. Longer ticks wait
  // about as long, and never fewer than two ticks.
  static constexpr int kDoneWaitTicks = 29;

  DownloadSequencer(SoundList& list, Clock& clock, MidiOutPort& port)
      : list_(list), clock_(clock), port_(port) {}

  // "Send File(s)" and Enter: continue, then start the next selected file.
  void send_files();
  void start_next_file();
  void step(MidiHeader* done);
  // "Stop" and Escape: while a file is being sent (or the pause before the next runs), the
  // question whether to stop at the next sound; the front end asks it and, on yes, calls
  // stop_at_next_sound(). Nothing when there is nothing to stop.
  std::optional<Notice> request_stop() const;
  // Stops after the file being sent, without asking.
  void stop_at_next_sound() { flags_.continue_flag = 0; }
  // Ends the down-load now. The device must be closed already (its buffers are freed here).
  // The row being sent is selected again: it was not sent completely.
  void abort(CutReason reason);

  // A message has begun at the device and its last chunk has not been reported done: cutting
  // the down-load now leaves the module's receiver inside a System Exclusive message.
  bool inside_message() const { return inside_message_; }

  bool is_sending() const { return flags_.sending != 0; }
  // Sending, or about to start the next file (its start already on the clock).
  bool is_busy() const { return flags_.sending != 0 || next_posted_; }
  bool between_files() const { return flags_.sending == 0 && next_posted_; }
  const DownloadState& state() const { return state_; }
  const DownloadFlags& flags() const { return flags_; }

  // Told what happens (null: nobody).
  void set_listener(DownloadListener* listener) { listener_ = listener; }
  // Asked when "Send File(s)" starts a down-load while none is going on: false starts nothing.
  void set_gate(std::function<bool()> gate) { gate_ = std::move(gate); }
  // Run once when a down-load the gate let through has ended, before the listener hears of it.
  void on_chain_end(std::function<void()> release) { chain_end_ = std::move(release); }
  // Milliseconds the blocks left take at one chunk per tick, with the pauses between files: the
  // whole down-load, or only the file being sent once the down-load stops after it.
  int milliseconds_left() const;

  // The pace from the next chunk on (the tick from the next file on). The default is 200-byte
  // chunks every 70 ms with no pause between files.
  void set_pace(const Pace& pace) { pace_ = pace; }
  const Pace& pace() const { return pace_; }
  // Between two files, waiting out the pause before the next one.
  bool in_file_gap() const { return gap_waiting_; }
  // The tick is on the clock: a file is being sent.
  bool ticking() const { return tick_.armed(); }
  // The row whose file is being sent, kNoRow when none.
  RowId sending_row() const { return sending_; }

 private:
  // Each tick takes one report from the port's ring.
  void on_tick();
  void take_report();
  // The file just sent is done and the down-load goes on: the next one starts (or its pause
  // begins) once the current work has returned.
  void on_next_download();
  void send_chunk(MidiHeader* done);
  bool send_next_message(MidiHeader* done);
  void hand_over(MidiHeader& header);
  void lose_device();
  // The file's blocks whose every byte went out; call before the down-load's state is cleared.
  int blocks_done(int row) const;
  void end_file();
  void finish_chain();
  void give_back(CutShort cut);
  void file_sent();
  void show_total();
  void start_tick();
  void start_after_gap();
  int done_wait_ticks() const;
  int chunks_per_block() const;
  int files_waiting() const;

  SoundList& list_;
  Clock& clock_;
  MidiOutPort& port_;
  DownloadState state_;
  DownloadFlags flags_;
  MidiHeader* outstanding_ = nullptr;  // the chunk the port has not reported done yet
  int waited_ticks_ = 0;
  bool next_posted_ = false;  // the next file's start is on the clock, or its pause runs
  bool gap_waiting_ = false;  // the pause before the next file runs
  Pace pace_;
  bool inside_message_ = false;
  bool owe_end_ = false;
  RowId sending_ = kNoRow;  // the row whose file is being sent
  bool chain_ = false;      // a down-load is going on (the gate let it through)
  SendSummary summary_;
  DownloadListener* listener_ = nullptr;
  std::function<bool()> gate_;
  std::function<void()> chain_end_;
  // Last: cancelled first when the sequencer goes, so no call runs into a half-destroyed one.
  ScopedTimer tick_;  // every interval while a file is sent
  ScopedTimer next_;  // the next file's start, or the pause before it
};

}  // namespace brisca
