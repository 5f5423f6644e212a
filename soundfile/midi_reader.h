// Reads a Standard MIDI File of format 0 event by event.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "common/result.h"
#include "soundfile/byte_stream.h"

namespace brisca {

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

// The running status a track starts with: a track that opens with a data byte reads it as 0x80.
inline constexpr std::uint8_t kStartRunningStatus = 0x80;

// Reads the file header and the track header: the track's declared length in bytes. A bad header
// is a BadFile error whose message is what the user is shown: "Bad MIDI file!" (no MIDI file at
// all), "Not format 0!" or "Bad track!".
Result<std::uint32_t> open_track(ByteStream& stream);
// True for the "Bad MIDI file!" of open_track: the file is no MIDI file at all.
bool is_not_midi(const Error& error);

// Reads one event: the bytes it took. Fails (Damaged) when the stream ends inside the event, or
// when the event declares a body longer than what is left of the stream; the caller ends the
// track there. `running_status` is the reader's own remembered status: a data byte where a
// status is expected takes it, and only channel events (0x80 to 0xEF) change it. Each track
// keeps its own, so readers on different threads or files never see each other's state.
Result<std::uint64_t> read_event(MidiEvent& event, ByteStream& stream,
                                 std::uint8_t& running_status);
bool is_long_meta(std::uint8_t type);

// The part of a path after its last separator.
std::string_view file_name_of(std::string_view path);

}  // namespace brisca
