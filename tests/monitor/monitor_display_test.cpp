#include "monitor/monitor_display.h"

#include <gtest/gtest.h>

#include "tests/support/fake_window.h"

namespace brisca {
namespace {

std::uint32_t pack(std::uint32_t status, std::uint32_t d1 = 0, std::uint32_t d2 = 0) {
  return status | (d1 << 8) | (d2 << 16);
}

TEST(MonitorDisplay, ShortMessagesLandInTheirFieldInLowerCaseHex) {
  test::FakeWindow window;
  show_short_message(&window, pack(0x90, 0x3C, 0x00));
  show_short_message(&window, pack(0x91, 0x3C, 0x7F));
  show_short_message(&window, pack(0xC5, 0x07));
  show_short_message(&window, pack(0xD2, 0x40));
  show_short_message(&window, pack(0xFE));
  show_short_message(&window, pack(0xEA, 0x00, 0x40));
  show_short_message(&window, pack(0xF2, 0x01, 0x02));
  EXPECT_EQ(window.field(Field::NoteOff), "90 3c 00 ");
  EXPECT_EQ(window.field(Field::NoteOn), "91 3c 7f ");
  EXPECT_EQ(window.field(Field::ProgChg), "c5 07 ");
  EXPECT_EQ(window.field(Field::ChanPress), "d2 40 ");
  EXPECT_EQ(window.field(Field::RealTime), "fe ");
  EXPECT_EQ(window.field(Field::PitchBend), "ea 00 40 ");
  EXPECT_EQ(window.field(Field::Common), "f2 01 02 ");

  show_short_message(&window, pack(0x80, 0x3D, 0x10));  // a new message replaces the text
  EXPECT_EQ(window.field(Field::NoteOff), "80 3d 10 ");
}

TEST(MonitorDisplay, EveryFirstByteStaysInsideTheTenFields) {
  test::FakeWindow window;
  for (std::uint32_t status = 0; status <= 0xFF; ++status) {
    for (std::uint32_t velocity : {0u, 0x40u}) {
      const int field = choose_field(pack(status, 0x3C, velocity));
      if (status < 0x80) {
        EXPECT_EQ(field, -1) << status;
      } else {
        EXPECT_GE(field, 0) << status;
        EXPECT_LT(field, kMonitorFieldCount) << status;
      }
      show_short_message(&window, pack(status, 0x3C, velocity));
    }
  }
  for (const auto& [field, text] : window.field_log) {
    EXPECT_LT(static_cast<int>(field), kMonitorFieldCount);
    EXPECT_LE(text.size(), 9u);
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

TEST(MonitorDisplay, ClearDataEmptiesTheTenFieldsOnly) {
  test::FakeWindow window;
  window.set_field_text(Field::TotalBlocks, " 300");
  for (int f = 0; f < kMonitorFieldCount; ++f) window.set_field_text(Field(f), "x");
  clear_data(&window);
  for (int f = 0; f < kMonitorFieldCount; ++f) EXPECT_EQ(window.field(Field(f)), "") << f;
  EXPECT_EQ(window.field(Field::TotalBlocks), " 300");
}

TEST(MonitorDisplay, Labels) {
  EXPECT_STREQ(monitor_field_label(0), "Note Off");
  EXPECT_STREQ(monitor_field_label(7), "System Exclusive");
  EXPECT_STREQ(monitor_field_label(9), "Real Time");
  EXPECT_STREQ(monitor_field_label(10), "");
}

}  // namespace
}  // namespace brisca
