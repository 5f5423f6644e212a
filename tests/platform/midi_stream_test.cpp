// The byte-stream parser behind every MIDI input: how pieces, running status, SysEx and bad input
// become messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/core/midi_bytes.h"
#include "platform/core/midi_stream.h"

namespace brisca {
namespace {

// Records what the parser reports as text: "S:903c40" short, "X:f0 01" SysEx bytes, "E" / "E!"
// end of a SysEx (with / without its F7).
class TextSink : public MidiStreamParser::Sink {
 public:
  std::vector<std::string> out;
  void short_message(std::uint32_t packed) override {
    char text[16];
    std::snprintf(text, sizeof text, "S:%06x", packed);
    out.emplace_back(text);
  }
  void sysex_bytes(const std::uint8_t* data, std::size_t n) override {
    std::string text = "X:";
    for (std::size_t i = 0; i < n; ++i) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%02x", data[i]);
      text += hex;
    }
    out.push_back(text);
  }
  void sysex_end(bool terminated) override { out.emplace_back(terminated ? "E" : "E!"); }
};

std::vector<std::string> parse(std::vector<std::vector<std::uint8_t>> pieces,
                               std::uint64_t* dropped = nullptr) {
  MidiStreamParser parser;
  TextSink sink;
  for (const auto& piece : pieces) {
    parser.feed(piece.data(), piece.size(), sink);
    parser.end_piece();
  }
  if (dropped) *dropped = parser.dropped_bytes();
  return sink.out;
}

using V = std::vector<std::string>;

TEST(MidiStream, ShortMessagesArePackedStatusFirst) {
  EXPECT_EQ(parse({{0x90, 0x3C, 0x00}}), V{"S:003c90"});
  EXPECT_EQ(parse({{0xC5, 0x07}}), V{"S:0007c5"});
  EXPECT_EQ(parse({{0xFE}}), V{"S:0000fe"});
  EXPECT_EQ(parse({{0xF2, 0x01, 0x02}, {0xF3, 0x05}, {0xF6}}),
            (V{"S:0201f2", "S:0005f3", "S:0000f6"}));
}

TEST(MidiStream, RunningStatusHoldsWithinAPieceOnly) {
  std::uint64_t dropped = 0;
  EXPECT_EQ(parse({{0x90, 0x3C, 0x40, 0x3E, 0x41}, {0x3F, 0x42}, {0x90, 0x3C}}, &dropped),
            (V{"S:403c90", "S:413e90"}));
  EXPECT_EQ(dropped, 4u);  // the piece without status, the unfinished message
  // System common cancels running status; real time does not, even inside a message.
  EXPECT_EQ(parse({{0xB0, 0x07, 0xF8, 0x64, 0x0A, 0x0B}}), (V{"S:0000f8", "S:6407b0", "S:0b0ab0"}));
  EXPECT_EQ(parse({{0xB0, 0x07, 0x64, 0xF1, 0x10, 0x20}}, &dropped), (V{"S:6407b0", "S:0010f1"}));
  EXPECT_EQ(dropped, 1u);
}

TEST(MidiStream, SysexInPiecesEndsAtItsF7) {
  EXPECT_EQ(parse({{0xF0, 0x33, 0x05}, {0x01, 0x02}, {0x03, 0xF7}}),
            (V{"X:f0", "X:3305", "X:0102", "X:03f7", "E"}));
}

TEST(MidiStream, RealTimeInsideSysexIsReportedAndTheSysexGoesOn) {
  EXPECT_EQ(parse({{0xF0, 0x01, 0xF8, 0x02, 0xFE, 0xF7}}),
            (V{"X:f0", "X:01", "S:0000f8", "X:02", "S:0000fe", "X:f7", "E"}));
}

TEST(MidiStream, SysexWithoutF7EndsAtTheNextStatus) {
  EXPECT_EQ(parse({{0xF0, 0x01, 0x02, 0x90, 0x3C, 0x40}}), (V{"X:f0", "X:0102", "E!", "S:403c90"}));
  EXPECT_EQ(parse({{0xF0, 0x01}, {0xF0, 0x02, 0xF7}}),
            (V{"X:f0", "X:01", "E!", "X:f0", "X:02f7", "E"}));
}

TEST(MidiStream, DataWithoutStatusIsDroppedNotReported) {
  std::uint64_t dropped = 0;
  // A continuation piece whose start was lost, then a stray F7, then a good message.
  EXPECT_EQ(parse({{0x10, 0x20, 0x30}, {0xF7}, {0x80, 0x3C, 0x00}}, &dropped), V{"S:003c80"});
  EXPECT_EQ(dropped, 4u);
}

TEST(MidiStream, EveryReportedShortMessageBeginsWithAStatusByte) {
  std::vector<std::uint8_t> all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(b));
  for (int b = 255; b >= 0; --b) all.push_back(static_cast<std::uint8_t>(b));
  MidiStreamParser parser;
  TextSink sink;
  parser.feed(all.data(), all.size(), sink);
  for (const std::string& s : sink.out) {
    if (s[0] != 'S') continue;
    const unsigned packed = std::stoul(s.substr(2), nullptr, 16);
    EXPECT_TRUE(midi::is_status(packed & 0xFF)) << s;
    EXPECT_GT(midi::short_length(packed & 0xFF), 0u) << s;
  }
}

TEST(MidiStream, ResetForgetsWhatWasInProgress) {
  MidiStreamParser parser;
  TextSink sink;
  const std::uint8_t first[] = {0xF0, 0x01, 0x90, 0x3C};
  parser.feed(first, sizeof first, sink);
  parser.reset();
  const std::uint8_t second[] = {0x40, 0x02, 0xF7};
  parser.feed(second, sizeof second, sink);
  EXPECT_EQ(sink.out, (V{"X:f0", "X:01", "E!"}));
}

}  // namespace
}  // namespace brisca
