// Reads a Standard MIDI File of format 0 event by event.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "soundfile/byte_stream.h"

namespace brisca {

class WindowPort;

// Result codes of open_track.
inline constexpr std::int32_t BAD_MIDI_FILE = -255;
inline constexpr std::int32_t NOT_FORMAT_0 = -254;
inline constexpr std::int32_t BAD_TRACK = -253;

// Result of read_event when the stream ends inside the event, or when the event declares a body
// longer than what is left of the stream. The caller ends the track there.
inline constexpr std::int32_t TRUNCATED_EVENT = -1;

struct MidiEvent {
  std::uint32_t delta = 0;
  std::uint8_t status = 0;
  std::array<std::uint8_t, 64> inline_data{};
  std::uint8_t meta_type = 0;
  std::uint32_t length = 0;
  std::unique_ptr<std::uint8_t[]> data;

  std::uint8_t data1() const { return inline_data[0]; }
  std::uint8_t data2() const { return inline_data[1]; }
  bool has_data() const { return data != nullptr; }
  bool is_sysex_with_data() const { return status == 0xF0 && data != nullptr; }
};

// True when an open_track result, read as unsigned, is 0xFFFFFF00 or more (-256 to -1).
inline bool is_reader_error(std::int32_t result) {
  return static_cast<std::uint32_t>(result) >= 0xFFFFFF00u;
}

// The running status a track starts with: a track that opens with a data byte reads it as 0x80.
inline constexpr std::uint8_t kStartRunningStatus = 0x80;

std::int32_t open_track(ByteStream& stream);
// Reads one event. `running_status` is the reader's own remembered status: a data byte where a
// status is expected takes it, and only channel events (0x80 to 0xEF) change it. Each track
// keeps its own, so readers on different threads or files never see each other's state.
std::int32_t read_event(MidiEvent& event, ByteStream& stream, std::uint8_t& running_status);
bool is_long_meta(std::uint8_t type);

// "Bad MIDI file!", "Not format 0!", "Bad track!" or "???".
const char* file_error_text(std::int32_t code);
// The part of a path after its last separator.
std::string_view file_name_of(std::string_view path);
// Warning box with the code's text and the file name (without directory) as caption.
void report_file_error(WindowPort& window, std::int32_t code, std::string_view file_name);

}  // namespace brisca
