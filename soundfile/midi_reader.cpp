#include "soundfile/midi_reader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace brisca {
namespace {

// Bodies larger than this are skipped on the stream instead of being held in memory: no sound
// file carries anything near it, and no declared length may make the reader allocate gigabytes.
constexpr std::uint32_t kMaxBodyBytes = 16u << 20;

constexpr const char* kNotMidiText = "Bad MIDI file!";

Error bad_header(const char* text) {
  return make_error(ErrorCode::BadFile, text);
}

Error cut_event() {
  return make_error(ErrorCode::Damaged, "the file ends inside an event");
}

std::uint32_t big_endian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

// Reads a variable-length quantity; false at the end of the stream.
bool read_quantity(ByteStream& stream, std::uint32_t& value) {
  value = 0;
  int b = 0;
  do {
    b = stream.getc();
    if (b == ByteStream::kEof) return false;
    value = (value << 7) | static_cast<std::uint32_t>(b & 0x7F);
  } while (b & 0x80);
  return true;
}

// Allocates a body buffer, or nothing when it is too large or memory runs out.
std::unique_ptr<std::uint8_t[]> allocate_body(std::uint64_t size) {
  if (size > kMaxBodyBytes) return nullptr;
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

bool read_channel_event(MidiEvent& event, ByteStream& stream, int s, std::uint8_t& running_status) {
  if (s < 0x80) {
    stream.ungetc(s);
    s = running_status;
  }
  event.status = static_cast<std::uint8_t>(s);
  running_status = event.status;
  int d1 = stream.getc();
  if (d1 == ByteStream::kEof) return false;
  event.inline_data[0] = static_cast<std::uint8_t>(d1);
  int high = s & 0xF0;
  if (high != 0xC0 && high != 0xD0) {
    int d2 = stream.getc();
    if (d2 == ByteStream::kEof) return false;
    event.inline_data[1] = static_cast<std::uint8_t>(d2);
  }
  return true;
}

bool read_meta_event(MidiEvent& event, ByteStream& stream) {
  int type = stream.getc();
  if (type == ByteStream::kEof) return false;
  event.meta_type = static_cast<std::uint8_t>(type);
  if (!read_quantity(stream, event.length)) return false;
  if (event.length > stream.remaining()) return false;
  if (is_long_meta(event.meta_type)) {
    event.data = allocate_body(event.length);
    if (!event.data) return stream.skip(event.length);
    return stream.read(event.data.get(), event.length) == event.length;
  }
  // A short meta body longer than the inline room keeps its first 64 bytes; the rest is skipped.
  std::uint32_t kept = std::min<std::uint32_t>(event.length, event.inline_data.size());
  if (stream.read(event.inline_data.data(), kept) != kept) return false;
  return stream.skip(event.length - kept);
}

bool read_sysex_event(MidiEvent& event, ByteStream& stream) {
  if (!read_quantity(stream, event.length)) return false;
  if (event.length > stream.remaining()) return false;
  event.data = allocate_body(std::uint64_t{event.length} + 1);
  if (!event.data) return stream.skip(event.length);
  std::uint8_t* body = event.data.get();
  if (event.status == 0xF0) {
    body[0] = 0xF0;
    ++body;
  }
  if (stream.read(body, event.length) != event.length) return false;
  if (event.status == 0xF0) ++event.length;
  return true;
}

}  // namespace

bool is_long_meta(std::uint8_t type) {
  switch (type) {
    case 0x00:
    case 0x2F:
    case 0x51:
    case 0x54:
    case 0x58:
    case 0x59:
      return false;
    default:
      return true;
  }
}

Result<std::uint32_t> open_track(ByteStream& stream) {
  std::uint8_t head[22];
  if (stream.read(head, sizeof head) < sizeof head) return bad_header(kNotMidiText);
  if (std::memcmp(head, "MThd", 4) != 0) return bad_header(kNotMidiText);
  if (big_endian32(head + 4) != 6) return bad_header(kNotMidiText);
  if (head[8] != 0 || head[9] != 0) return bad_header("Not format 0!");
  if (std::memcmp(head + 14, "MTrk", 4) != 0) return bad_header("Bad track!");
  return big_endian32(head + 18);
}

bool is_not_midi(const Error& error) {
  return error.code == ErrorCode::BadFile && error.message == kNotMidiText;
}

Result<std::uint64_t> read_event(MidiEvent& event, ByteStream& stream,
                                 std::uint8_t& running_status) {
  const std::uint64_t start = stream.tell();
  event.delta = 0;
  event.data.reset();
  if (!read_quantity(stream, event.delta)) return cut_event();
  int s = stream.getc();
  if (s == ByteStream::kEof) return cut_event();
  bool complete = true;
  if (s < 0xF0) {
    complete = read_channel_event(event, stream, s, running_status);
  } else if (s == 0xFF) {
    event.status = 0xFF;
    complete = read_meta_event(event, stream);
  } else if (s == 0xF0 || s == 0xF7) {
    event.status = static_cast<std::uint8_t>(s);
    complete = read_sysex_event(event, stream);
  } else {
    event.status = static_cast<std::uint8_t>(s);
    return stream.tell() - start;
  }
  if (!complete) {
    event.data.reset();
    return cut_event();
  }
  return stream.tell() - start;
}

std::string_view file_name_of(std::string_view path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace brisca
