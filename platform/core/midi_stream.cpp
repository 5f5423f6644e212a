#include "platform/core/midi_stream.h"

#include "platform/core/midi_bytes.h"

namespace brisca {

void MidiStreamParser::reset() {
  in_sysex_ = false;
  running_ = 0;
  have_ = 0;
  need_ = 0;
}

void MidiStreamParser::end_piece() {
  dropped_ += have_;
  have_ = 0;
  need_ = 0;
  running_ = 0;
}

void MidiStreamParser::feed(const std::uint8_t* data, std::size_t n, Sink& sink) {
  std::size_t i = 0;
  while (i < n) {
    if (in_sysex_) {
      i += feed_sysex(data + i, n - i, sink);
      continue;
    }
    const std::uint8_t byte = data[i++];
    if (midi::is_status(byte)) {
      status_byte(byte, sink);
    } else {
      data_byte(byte, sink);
    }
  }
}

// Passes on the run of data bytes at the front, and the 0xF7 that ends it; stops before any
// other status byte. Returns the bytes used.
std::size_t MidiStreamParser::feed_sysex(const std::uint8_t* data, std::size_t n, Sink& sink) {
  std::size_t run = 0;
  while (run < n && !midi::is_status(data[run])) ++run;
  if (run < n && data[run] == midi::kSysexEnd) {
    sink.sysex_bytes(data, run + 1);
    sink.sysex_end(true);
    in_sysex_ = false;
    return run + 1;
  }
  if (run > 0) sink.sysex_bytes(data, run);
  if (run == n) return run;
  const std::uint8_t byte = data[run];
  if (midi::is_real_time(byte)) {
    sink.short_message(byte);
  } else {
    in_sysex_ = false;
    sink.sysex_end(false);
    status_byte(byte, sink);
  }
  return run + 1;
}

void MidiStreamParser::status_byte(std::uint8_t byte, Sink& sink) {
  if (midi::is_real_time(byte)) {
    sink.short_message(byte);  // leaves running status and a message in progress alone
    return;
  }
  have_ = 0;
  need_ = 0;
  running_ = 0;
  if (byte == midi::kSysexStart) {
    in_sysex_ = true;
    sink.sysex_bytes(&byte, 1);
    return;
  }
  const std::size_t length = midi::short_length(byte);
  if (length == 0) {  // a stray 0xF7
    ++dropped_;
    return;
  }
  if (length == 1) {
    sink.short_message(byte);
    return;
  }
  bytes_[0] = byte;
  have_ = 1;
  need_ = length;
  if (byte < 0xF0) running_ = byte;  // system common messages cancel running status
}

void MidiStreamParser::data_byte(std::uint8_t byte, Sink& sink) {
  if (have_ == 0) {
    if (running_ == 0) {
      ++dropped_;
      return;
    }
    bytes_[0] = running_;
    have_ = 1;
    need_ = midi::short_length(running_);
  }
  bytes_[have_++] = byte;
  if (have_ < need_) return;
  sink.short_message(midi::pack(bytes_, have_));
  have_ = 0;
}

}  // namespace brisca
