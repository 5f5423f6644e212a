#include "monitor/monitor_display.h"

#include <gtest/gtest.h>

#include <string>

namespace brisca {
namespace {

std::uint32_t pack(std::uint32_t status, std::uint32_t d1 = 0, std::uint32_t d2 = 0) {
  return status | (d1 << 8) | (d2 << 16);
}

// The text the message's field shows; "-" for a message shown nowhere.
std::string shown(std::uint32_t packed) {
  const int field = choose_field(packed);
  return field < 0
             ? "-"
             : std::string(monitor_field_label(field)) + ": " + short_message_text(field, packed);
}

TEST(MonitorDisplay, ShortMessagesLandInTheirFieldInLowerCaseHex) {
  EXPECT_EQ(shown(pack(0x90, 0x3C, 0x00)), "Note Off: 90 3c 00 ");
  EXPECT_EQ(shown(pack(0x91, 0x3C, 0x7F)), "Note On: 91 3c 7f ");
  EXPECT_EQ(shown(pack(0xC5, 0x07)), "Prog Chg: c5 07 ");
  EXPECT_EQ(shown(pack(0xD2, 0x40)), "Chan Press: d2 40 ");
  EXPECT_EQ(shown(pack(0xFE)), "Real Time: fe ");
  EXPECT_EQ(shown(pack(0xEA, 0x00, 0x40)), "Pitch Bend: ea 00 40 ");
  EXPECT_EQ(shown(pack(0xF2, 0x01, 0x02)), "Common: f2 01 02 ");
  EXPECT_EQ(shown(pack(0x3C, 0x40)), "-");
}

TEST(MonitorDisplay, EveryFirstByteStaysInsideTheTenFields) {
  for (std::uint32_t status = 0; status <= 0xFF; ++status) {
    for (std::uint32_t velocity : {0u, 0x40u}) {
      const int field = choose_field(pack(status, 0x3C, velocity));
      if (status < 0x80) {
        EXPECT_EQ(field, -1) << status;
        continue;
      }
      EXPECT_GE(field, 0) << status;
      EXPECT_LT(field, kMonitorTextFields) << status;
      EXPECT_LE(short_message_text(field, pack(status, 0x3C, velocity)).size(), 9u);
    }
  }
  EXPECT_EQ(choose_field(pack(0x9F, 1, 0)), 0);
  EXPECT_EQ(choose_field(pack(0xF7)), 8);
  EXPECT_EQ(choose_field(pack(0xF8)), 9);
}

TEST(MonitorDisplay, SystemExclusiveSummaries) {
  const std::uint8_t bytes[] = {0xF0, 0x33, 0x00, 0x05, 0x01, 0x02, 0x03, 0x04, 0xF7};
  EXPECT_EQ(sysex_summary(bytes, 3), "f0 33 00   [3]");
  const std::uint8_t eight[] = {0xF0, 0x33, 0x00, 0x05, 0x01, 0x02, 0x03, 0xF7};
  EXPECT_EQ(sysex_summary(eight, 8), "f0 33 00 05 01 02 03 f7   [8]");
  EXPECT_EQ(sysex_summary(bytes, 9), "f0 33 00 05 01 02 03 ... f7   [9]");
  EXPECT_EQ(sysex_summary(bytes, 1), "f0   [1]");
  std::vector<std::uint8_t> big(16384, 0x7F);  // a full buffer of a SysEx still going on
  big[0] = 0xF0;
  EXPECT_EQ(sysex_summary(big.data(), 16384), "f0 7f 7f 7f 7f 7f 7f ... 7f   [16384]");
}

TEST(MonitorDisplay, Labels) {
  EXPECT_STREQ(monitor_field_label(0), "Note Off");
  EXPECT_STREQ(monitor_field_label(7), "System Exclusive");
  EXPECT_STREQ(monitor_field_label(9), "Real Time");
  EXPECT_STREQ(monitor_field_label(10), "");
}

}  // namespace
}  // namespace brisca
