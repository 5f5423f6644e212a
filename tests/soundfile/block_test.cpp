#include <gtest/gtest.h>

#include "sound_bytes.h"
#include "soundfile/block_count.h"
#include "soundfile/sound_block.h"
#include "soundfile/sound_writer.h"

namespace brisca {
namespace {

using test::data_block;
using test::smf_with_track;
using test::stream_of;
using test::track_of;

TEST(Block, RecognisesOnlySoundDumpHeads) {
  const std::uint8_t four[] = {0xF0, 0x33, 0x10, 0x05};
  EXPECT_EQ(block_message_type(four, 4), -1);
  const std::uint8_t dump[] = {0xF0, 0x33, 0x7E, 0x05, 0x00, 0x01, 0x02};
  EXPECT_EQ(block_message_type(dump, 7), 0);  // any device byte
  const std::uint8_t other_type[] = {0xF0, 0x33, 0x00, 0x05, 0x11};
  EXPECT_EQ(block_message_type(other_type, 5), 0x11);
  const std::uint8_t other_model[] = {0xF0, 0x33, 0x00, 0x06, 0x00};
  EXPECT_EQ(block_message_type(other_model, 5), -1);
  const std::uint8_t other_maker[] = {0xF0, 0x34, 0x00, 0x05, 0x00};
  EXPECT_EQ(block_message_type(other_maker, 5), -1);
  EXPECT_EQ(block_number(dump), 130);
  // A head too short to carry its number reads the missing bytes as 0 (it is no block at all).
  EXPECT_EQ(block_number(dump, 6), 128);
  EXPECT_EQ(block_number(dump, 5), 0);
}

TEST(BlockCount, TruncatedHeadsStayInBounds) {
  Bytes five{0xF0, 0x33, 0x00, 0x05, 0x00};
  Bytes six{0xF0, 0x33, 0x00, 0x05, 0x00, 0x01};
  Bytes file = make_smf0({six, five, data_block(1), make_header_block("H", "DRUM", 9)});
  TrackReader track = track_of(file);
  BlockCount c = count_blocks(track);
  // Too short to hold a block number: not sound-dump blocks, so each counts one and neither is
  // taken for a header; the real header then gives the count.
  EXPECT_TRUE(c.has_header);
  EXPECT_EQ(c.blocks, 9);
  EXPECT_FALSE(is_sound_dump_block(five.data(), 5));
  EXPECT_FALSE(is_sound_dump_block(six.data(), 6));
  Bytes no_header = make_smf0({six, five, data_block(1)});
  TrackReader again = track_of(no_header);
  c = count_blocks(again);
  EXPECT_FALSE(c.has_header);
  EXPECT_EQ(c.blocks, 2);
}

TEST(Block, UnpacksSevenBitGroups) {
  std::uint8_t ones[8];
  std::fill(std::begin(ones), std::end(ones), 0x7F);
  std::uint8_t out[7] = {};
  unpack7to8(out, ones, 7);
  for (std::uint8_t b : out) EXPECT_EQ(b, 0xFF);

  const std::uint8_t high[8] = {0x40, 0, 0, 0, 0, 0, 0, 0};
  unpack7to8(out, high, 7);
  EXPECT_EQ(out[0], 0x80);
  for (int i = 1; i < 7; ++i) EXPECT_EQ(out[i], 0);
}

TEST(Block, PackingRoundTripsAndHeaderFields) {
  UnpackedBlock u{};
  for (std::size_t i = 0; i < u.size(); ++i) u[i] = static_cast<std::uint8_t>(i * 37 + 11);
  Bytes block = make_block(300, u);
  ASSERT_EQ(block.size(), kPackedBlockSize);
  EXPECT_EQ(block.back(), 0xF7);
  EXPECT_EQ(block_number(block.data()), 300);
  for (std::size_t i = 1; i < block.size() - 1; ++i) EXPECT_LT(block[i], 0x80) << i;
  UnpackedBlock back = unpack_block(block.data(), static_cast<std::uint32_t>(block.size()));
  EXPECT_EQ(back, u);  // all 1020 bytes, the last 5 bits left-aligned in byte 1172

  Bytes header = make_header_block("Deep Kick", "DRUM", 300);
  UnpackedBlock h = unpack_block(header.data(), static_cast<std::uint32_t>(header.size()));
  EXPECT_EQ(h[44], 0x01);
  EXPECT_EQ(h[45], 0x2C);
  EXPECT_EQ(header_total_blocks(h), 300);
  EXPECT_EQ(header_name(h), "Deep Kick");
  EXPECT_EQ(header_type(h), "DRUM");
}

TEST(Block, ShortBlocksUnpackOnlyWhatTheyHave) {
  Bytes full = data_block(5, 0xFF);
  for (std::uint32_t len : {0u, 5u, 7u, 8u, 100u, 1172u, 1173u, 1174u}) {
    Bytes cut(full.begin(), full.begin() + len);
    UnpackedBlock u = unpack_block(cut.data(), len);
    std::size_t packed = len > 7 ? std::min<std::size_t>(len - 7, kPackedDataBytes) : 0;
    std::size_t exact = packed * 7 / 8;  // bytes fully covered by the packed bytes present
    for (std::size_t i = 0; i < exact; ++i) ASSERT_EQ(u[i], 0xFF) << len << " " << i;
    for (std::size_t i = (packed * 7 + 7) / 8; i < u.size(); ++i) ASSERT_EQ(u[i], 0) << len;
  }
}

BlockCount count_of(const std::vector<Bytes>& messages) {
  Bytes file = make_smf0(messages);
  TrackReader track = track_of(file);
  return count_blocks(track);
}

TEST(BlockCount, HeaderGivesTheCountAndEndsIt) {
  auto c = count_of({make_header_block("Snare", "DRUM", 300), data_block(1), data_block(2)});
  EXPECT_EQ(c.blocks, 300);
  EXPECT_TRUE(c.has_header);
  EXPECT_EQ(c.name, "Snare");

  // Data blocks before the header count nothing; the first header wins.
  c = count_of({data_block(1), data_block(2), make_header_block("A", "DRUM", 2),
                make_header_block("B", "DRUM", 9)});
  EXPECT_EQ(c.blocks, 2);
  EXPECT_EQ(c.name, "A");
}

TEST(BlockCount, ForeignMessagesCountOneEach) {
  Bytes foreign{0xF0, 0x41, 0x10, 0x42, 0x12, 0xF7};
  auto c = count_of({foreign, foreign, foreign});
  EXPECT_EQ(c.blocks, 3);
  EXPECT_FALSE(c.has_header);
  // Other message types of the module count like foreign messages.
  Bytes other_type{0xF0, 0x33, 0x00, 0x05, 0x01, 0xF7};
  EXPECT_EQ(count_of({other_type, data_block(1)}).blocks, 1);
  EXPECT_EQ(count_of({}).blocks, 0);
}

TEST(Writer, MakesAFormat0FileTheReaderWalks) {
  Bytes a = make_header_block("Hat", "DRUM", 1);
  Bytes b = data_block(1, 0x12);
  Bytes file = make_smf0({a, b});
  TrackReader track = track_of(file);
  std::vector<Bytes> seen;
  MidiEvent e;
  while (track.next(e))
    if (e.is_sysex_with_data()) seen.emplace_back(e.data.get(), e.data.get() + e.length);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], a);
  EXPECT_EQ(seen[1], b);
  EXPECT_EQ(track.remaining(), 0u);
}

}  // namespace
}  // namespace brisca
