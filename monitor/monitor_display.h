// The ten monitor fields: which field a short message goes to, and the texts they show.
// Hexadecimal is lower case, two digits, each byte followed by a blank.
#pragma once

#include <cstdint>
#include <string>

namespace brisca {

// The ten monitor fields, in the order they stand in the window's monitor row.
enum class MonitorField : int {
  NoteOff = 0,
  NoteOn,
  PolyPress,
  CtrlChg,
  ProgChg,
  ChanPress,
  PitchBend,
  SystemExclusive,
  Common,
  RealTime,
};
inline constexpr int kMonitorTextFields = 10;

// The field of a packed short message (status in the low byte, then the two data bytes):
// 0..6 by channel message kind (a Note On with velocity 0 is a Note Off), 8 for 0xF0..0xF7,
// 9 for 0xF8..0xFF. A first byte below 0x80 is not a status byte (a data byte, a stray part of
// something longer): it belongs to no field and gives -1.
int choose_field(std::uint32_t packed);

// "%02x " for Real Time, "%02x %02x " for Prog Chg and Chan Press, "%02x %02x %02x " otherwise.
std::string short_message_text(int field, std::uint32_t packed);

// Up to the first seven bytes, "... " when there are more than eight, the last byte when not
// shown yet, then "  [length]".
std::string sysex_summary(const std::uint8_t* data, std::uint32_t length);

// "Note Off" .. "Real Time" for 0..9; "" otherwise.
const char* monitor_field_label(int field);

}  // namespace brisca
