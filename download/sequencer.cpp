#include "download/sequencer.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "soundfile/midi_reader.h"
#include "soundfile/sound_block.h"

namespace brisca {

void DownloadSequencer::send_files() {
  if (!is_busy()) {
    if (!port_.is_open() || list_.first_selected() < 0) return;
    if (gate_ && !gate_()) return;
    chain_ = true;
    summary_ = SendSummary{};
  }
  flags_.continue_flag = 1;
  start_next_file();
  if (!is_busy()) finish_chain();
}

// The end of a down-load: the listener hears what was sent (and releases what the gate took).
void DownloadSequencer::finish_chain() {
  if (!chain_) return;
  chain_ = false;
  if (chain_end_) chain_end_();
  if (listener_ != nullptr) listener_->finished(summary_);
}

std::string summary_text(const SendSummary& summary) {
  return std::to_string(summary.sounds) + (summary.sounds == 1 ? " sound, " : " sounds, ") +
         std::to_string(summary.blocks) + (summary.blocks == 1 ? " block sent" : " blocks sent");
}

std::string time_left_text(int milliseconds) {
  const int seconds = (std::max(milliseconds, 0) + 999) / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d left", seconds / 60, seconds % 60);
  return text;
}

// The file being sent counts by its bytes left or its blocks left, whichever takes longer (a
// sound's blocks are six 200-byte chunks each; other messages may be longer); files not yet
// started by their blocks, each after a pause.
int DownloadSequencer::milliseconds_left() const {
  const SoundListState& totals = list_.state();
  std::uint64_t bytes = state_.file ? state_.file->remaining() : 0;
  if (state_.next_offset != 0) bytes += state_.message_length - state_.next_offset;
  const std::uint64_t per_block = static_cast<std::uint64_t>(chunks_per_block());
  std::uint64_t chunks =
      std::max<std::uint64_t>(chunk_count(bytes, pace_.chunk_bytes),
                              std::uint64_t(std::max(totals.current_remaining, 0)) * per_block);
  std::int64_t gaps = 0;
  if (flags_.continue_flag != 0) {
    chunks += std::uint64_t(std::max(totals.selected_blocks, 0)) * per_block;
    // Each file still selected starts after a pause (the one under way counted whole).
    if (pace_.file_gap_ms > 0) gaps = std::int64_t{files_waiting()} * pace_.file_gap_ms;
  }
  return static_cast<int>(std::min<std::int64_t>(download_ms(chunks, pace_) + gaps, 1'000'000'000));
}

int DownloadSequencer::chunks_per_block() const {
  return static_cast<int>(chunk_count(kPackedBlockSize, pace_.chunk_bytes));
}

// Selected rows: the files the down-load has not started yet.
int DownloadSequencer::files_waiting() const {
  return list_.selected_count();
}

// Ticks of the pace's interval that cover about the 29 ticks of 70 ms a done report may take.
int DownloadSequencer::done_wait_ticks() const {
  const int interval = std::max(pace_.interval_ms, kTickMs);
  return std::max(2, (kDoneWaitTicks * kTickMs + interval - 1) / interval);
}

void DownloadSequencer::start_next_file() {
  if (!port_.is_open() || flags_.sending != 0) return;
  if (owe_end_) {
    (void)port_.send_end_of_message();  // a port that fails it is lost at the next chunk
    owe_end_ = false;
  }
  const int row = list_.first_selected();
  if (row < 0) return;
  const std::string path = list_.full_path(row);
  state_ = DownloadState{};  // closes a file still open

  auto reader = TrackReader::open(path);
  if (!reader) {  // the row stays selected; the down-load stops here
    if (reader.code() == ErrorCode::BadFile && listener_ != nullptr)
      listener_->cannot_open(
          list_.row(row).id,
          warning(reader.message(), std::string(file_name_of(list_.row(row).name))));
    return;
  }
  state_.file = std::move(*reader);
  start_tick();

  SoundListState& totals = list_.state();
  totals.current_remaining = list_.row(row).blocks;
  totals.selected_blocks -= totals.current_remaining;
  sending_ = list_.start_sending(row);
  flags_.sending = 1;
  step(nullptr);
}

void DownloadSequencer::step(MidiHeader* done) {
  if (done != nullptr) {
    port_.unprepare(*done);
    if (state_.next_offset == 0) {
      inside_message_ = false;
      state_.message.reset();
    }
  }
  if (state_.next_offset != 0) {
    send_chunk(done);
    return;
  }
  if (send_next_message(done)) return;
  end_file();
}

// The track is used up and nothing is outstanding. A whole file has been sent; a file cut
// short on disk, or holding fewer blocks than its header counts, has not: its row is selected
// again and the down-load ends there, so it is never shown as sent.
void DownloadSequencer::end_file() {
  if (state_.file) state_.check.end_track(*state_.file);
  const int row = list_.index_of(sending_);
  if (state_.check.complete()) {
    summary_.sounds += 1;
    if (row >= 0) summary_.blocks += list_.row(row).blocks;
    // A file that held fewer messages than its row counts leaves the rest of its count behind.
    if (list_.state().current_remaining != 0) {
      list_.state().current_remaining = 0;
      show_total();
    }
    tick_.stop();
    file_sent();
    return;
  }
  CutShort cut{CutReason::Damaged, sending_, {}, state_.check.whole().message()};
  state_ = DownloadState{};
  flags_.continue_flag = 0;
  give_back(std::move(cut));
}

// The next chunk of the current message (200 bytes at the default pace), or what remains of it.
void DownloadSequencer::send_chunk(MidiHeader* done) {
  MidiHeader& header = done != nullptr ? *done : port_.next_header();
  const std::uint32_t start = state_.next_offset;
  const auto chunk = static_cast<std::uint32_t>(pace_.chunk_bytes);
  header.data = state_.message.get() + start;
  header.buffer_length = chunk;
  state_.next_offset += chunk;
  if (state_.next_offset >= state_.message_length) {
    header.buffer_length = state_.message_length - start;
    state_.next_offset = 0;
  }
  hand_over(header);
}

// Reads on to the next System Exclusive message and sends its first chunk; false when the
// track ended first. Events of other kinds are passed over (their bodies freed with them).
bool DownloadSequencer::send_next_message(MidiHeader* done) {
  while (state_.file && state_.file->remaining() > 0) {
    MidiEvent event;
    if (!state_.file->next(event)) break;
    state_.check.add(event);
    if (!event.is_sysex_with_data()) continue;

    MidiHeader& header = done != nullptr ? *done : port_.next_header();
    state_.message_length = event.length;
    state_.message = std::move(event.data);
    header.data = state_.message.get();
    header.buffer_length = state_.message_length;
    state_.next_offset = 0;
    const auto chunk = static_cast<std::uint32_t>(pace_.chunk_bytes);
    if (state_.message_length > chunk) {
      header.buffer_length = chunk;
      state_.next_offset = chunk;
    }
    // A file may hold more messages than its row counts: the figure stops at 0.
    if (list_.state().current_remaining > 0) list_.state().current_remaining -= 1;
    inside_message_ = true;
    show_total();
    if (listener_ != nullptr) {
      const int row = list_.index_of(sending_);
      const int blocks = row < 0 ? 0 : list_.row(row).blocks;
      listener_->progress(sending_, blocks - list_.state().current_remaining, blocks);
    }
    list_.animate(sending_);
    hand_over(header);
    return true;
  }
  return false;
}

// A failed long message will never be reported done: the down-load ends there instead of
// waiting for it.
void DownloadSequencer::hand_over(MidiHeader& header) {
  outstanding_ = &header;
  waited_ticks_ = 0;
  if (!port_.send_long(header)) lose_device();
}

void DownloadSequencer::start_tick() {
  tick_.every(clock_, Clock::Duration(pace_.interval_ms), [this] { on_tick(); });
}

// The time left is told after each tick of a file being sent, whatever the tick did.
void DownloadSequencer::on_tick() {
  take_report();
  if (flags_.sending != 0 && listener_ != nullptr) listener_->time_left(milliseconds_left());
}

void DownloadSequencer::take_report() {
  auto report = port_.take_report();
  if (report && report->kind == PortReport::Kind::Done) {
    MidiHeader* header = port_.own_header(report->header);
    // Only the chunk in flight moves the down-load on; a report for any other header is stale.
    if (header != nullptr && header == outstanding_) {
      outstanding_ = nullptr;
      step(header);
      return;
    }
  }
  if (flags_.sending == 0 || outstanding_ == nullptr) return;
  if (report && report->kind == PortReport::Kind::Closed) {
    lose_device();
  } else if (++waited_ticks_ > done_wait_ticks()) {
    lose_device();
  }
}

void DownloadSequencer::on_next_download() {
  if (!next_posted_ || gap_waiting_) return;  // cut short after this was posted, or pausing
  // With a pause between files the port stays quiet meanwhile.
  if (pace_.file_gap_ms > 0 && list_.first_selected() >= 0) {
    gap_waiting_ = true;
    next_.after(clock_, Clock::Duration(pace_.file_gap_ms), [this] {
      next_.ran();
      start_after_gap();
      if (flags_.sending != 0 && listener_ != nullptr) listener_->time_left(milliseconds_left());
    });
    return;
  }
  next_posted_ = false;
  start_next_file();
  if (!is_busy()) finish_chain();
}

// The pause is over: the next file starts, unless the down-load was asked to stop meanwhile.
void DownloadSequencer::start_after_gap() {
  gap_waiting_ = false;
  next_posted_ = false;
  if (flags_.continue_flag != 0) start_next_file();
  if (!is_busy()) finish_chain();
}

std::optional<Notice> DownloadSequencer::request_stop() const {
  if (flags_.sending == 0 && !gap_waiting_) return std::nullopt;
  return question("Stop down-load at next sound?", "Stop");
}

// A message cut by a device that still exists is ended with a lone F7 before the next file; one
// whose port has gone is not: a device plugged in again starts afresh.
void DownloadSequencer::lose_device() {
  const bool gone = port_.destination_gone();
  owe_end_ = !gone && (owe_end_ || inside_message_);
  port_.close_lost();
  abort(gone ? CutReason::Unplugged : CutReason::DeviceLost);
}

int DownloadSequencer::blocks_done(int row) const {
  if (row < 0) return 0;
  const int total = list_.row(row).blocks;
  const int started = total - std::max(list_.state().current_remaining, 0);
  return std::clamp(started - (inside_message_ ? 1 : 0), 0, total);
}

void DownloadSequencer::abort(CutReason reason) {
  next_.stop();
  gap_waiting_ = false;
  next_posted_ = false;
  flags_.continue_flag = 0;
  outstanding_ = nullptr;
  waited_ticks_ = 0;
  const bool was_sending = flags_.sending != 0;
  const int row = list_.index_of(sending_);
  CutShort cut{reason, sending_, {}, {}, blocks_done(row), row < 0 ? 0 : list_.row(row).blocks};
  inside_message_ = false;
  state_ = DownloadState{};
  if (was_sending) give_back(std::move(cut));
  finish_chain();
}

// The row being sent was not sent: it is selected again and its blocks count as selected.
void DownloadSequencer::give_back(CutShort cut) {
  tick_.stop();
  flags_.sending = 0;
  SoundListState& totals = list_.state();
  if (const int row = list_.index_of(cut.row); row >= 0) {
    list_.give_back(sending_);
    cut.name = list_.row(row).name;
  }
  sending_ = kNoRow;
  totals.current_remaining = 0;
  show_total();
  if (listener_ != nullptr) listener_->file_done(cut.row, FileOutcome{cut});
  finish_chain();
}

// The row being sent is marked sent; the next file follows once the current work has returned.
void DownloadSequencer::file_sent() {
  const RowId sent = sending_;
  list_.mark_sent(sending_);
  sending_ = kNoRow;
  flags_.sending = 0;
  if (listener_ != nullptr) listener_->file_done(sent, FileOutcome{});
  if (flags_.continue_flag != 0) {
    next_posted_ = true;
    next_.after(clock_, Clock::Duration::zero(), [this] {
      next_.ran();
      on_next_download();
    });
  } else {
    finish_chain();
  }
}

void DownloadSequencer::show_total() {
  list_.refresh_total();
  const SoundListState& totals = list_.state();
  if (listener_ != nullptr)
    listener_->total_blocks(totals.current_remaining + totals.selected_blocks);
}

}  // namespace brisca
