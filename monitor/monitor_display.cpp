#include "monitor/monitor_display.h"

#include <array>
#include <cstdio>

namespace brisca {

namespace {

constexpr int kRealTime = 9;
constexpr int kCommon = 8;
constexpr int kNoteOn = 1;

std::string hex_bytes(const std::uint8_t* bytes, int count) {
  std::string text;
  char cell[4];
  for (int i = 0; i < count; ++i) {
    std::snprintf(cell, sizeof cell, "%02x ", bytes[i]);
    text += cell;
  }
  return text;
}

}  // namespace

int choose_field(std::uint32_t packed) {
  const std::uint32_t status = packed & 0xFF;
  const std::uint32_t velocity = (packed >> 16) & 0xFF;
  if (status < 0x80) return -1;
  if (status >= 0xF8) return kRealTime;
  if (status >= 0xF0) return kCommon;
  int field = static_cast<int>(status >> 4) - 8;
  if (field == kNoteOn && velocity == 0) field = 0;
  return field;
}

std::string short_message_text(int field, std::uint32_t packed) {
  const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(packed & 0xFF),
                                 static_cast<std::uint8_t>((packed >> 8) & 0xFF),
                                 static_cast<std::uint8_t>((packed >> 16) & 0xFF)};
  if (field == kRealTime) return hex_bytes(bytes, 1);
  if (field == static_cast<int>(MonitorField::ProgChg) ||
      field == static_cast<int>(MonitorField::ChanPress))
    return hex_bytes(bytes, 2);
  return hex_bytes(bytes, 3);
}

std::string sysex_summary(const std::uint8_t* data, std::uint32_t length) {
  std::uint32_t shown = length < 7 ? length : 7;
  std::string text = hex_bytes(data, static_cast<int>(shown));
  if (length > 8) text += "... ";
  if (shown < length) text += hex_bytes(data + length - 1, 1);
  char count[24];
  std::snprintf(count, sizeof count, "  [%u]", static_cast<unsigned>(length));
  return text + count;
}

const char* monitor_field_label(int field) {
  static constexpr std::array<const char*, kMonitorTextFields> kLabels = {
      "Note Off",   "Note On",    "Poly Press",       "Ctrl Chg", "Prog Chg",
      "Chan Press", "Pitch Bend", "System Exclusive", "Common",   "Real Time"};
  if (field < 0 || field >= kMonitorTextFields) return "";
  return kLabels[static_cast<std::size_t>(field)];
}

}  // namespace brisca
