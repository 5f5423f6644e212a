#include <gtest/gtest.h>

#include <random>

#include "block_maker.h"
#include "preview/block_source.h"
#include "soundfile/block_count.h"

namespace brisca {
namespace {

using test::BlockFields;
using test::data_message;
using test::make_data_block;
using test::sound_file;

const Bytes kForeign{0xF0, 0x41, 0x10, 0x42, 0xF7};

UnpackedBlock pitch_block(int pitch, std::int8_t fill_byte = 10) {
  BlockFields desc;
  desc.pitch = pitch;
  desc.samples.assign(880, fill_byte);
  return make_data_block(desc);
}

std::vector<Bytes> data_blocks(int count, int pitch = 0) {
  std::vector<Bytes> out;
  for (int k = 1; k <= count; ++k)
    out.push_back(data_message(static_cast<std::uint16_t>(k), pitch_block(pitch)));
  return out;
}

// Owns the file bytes the source reads from memory.
struct Source {
  explicit Source(Bytes file)
      : bytes(std::move(file)), source(TrackReader::read(ByteStream::from_memory(bytes)).value()) {}
  int fill(std::size_t room = kPreviewBufferBytes) {
    buffer.assign(room / 2 + 8, 0);
    return source.fill(buffer.data(), room);
  }
  std::vector<std::int16_t> play() {
    std::vector<std::int16_t> all;
    play_out(source,
             [&](const std::int16_t* s, std::size_t n) { all.insert(all.end(), s, s + n); });
    return all;
  }
  Bytes bytes;
  BlockSource source;
  std::vector<std::int16_t> buffer;
};

TEST(BlockSource, HeaderBlocksAndOtherEventsAddNothing) {
  Source only_header(sound_file({}));
  EXPECT_EQ(only_header.fill(), 0);
  EXPECT_TRUE(only_header.source.finished());

  // A second header in the middle is passed over too; the data on both sides plays.
  std::vector<Bytes> messages = data_blocks(1);
  messages.push_back(make_header_block("AGAIN", "DRUM", 3));
  messages.push_back(data_message(2, pitch_block(0)));
  Source two(sound_file(messages));
  EXPECT_EQ(two.fill(), 2 * 1760);
  EXPECT_TRUE(two.source.finished());
}

TEST(BlockSource, ForeignMessageEndsTheFillAndTheNextFillGoesOn) {
  std::vector<Bytes> messages = data_blocks(1);
  messages.push_back(kForeign);
  messages.push_back(data_message(2, pitch_block(0)));
  Source s(sound_file(messages));
  EXPECT_EQ(s.fill(), 1760);
  EXPECT_EQ(s.source.foreign_messages(), 1);
  EXPECT_FALSE(s.source.finished());
  EXPECT_EQ(s.fill(), 1760);
  EXPECT_TRUE(s.source.finished());
  EXPECT_EQ(s.fill(), 0);
}

TEST(BlockSource, PlaybackEndsWhenNoBufferIsLeftPlaying) {
  // One empty fill leaves one buffer playing and the track goes on; a second ends playback.
  auto played = [](int foreign_in_a_row) {
    std::vector<Bytes> messages = data_blocks(1);
    for (int i = 0; i < foreign_in_a_row; ++i) messages.push_back(kForeign);
    messages.push_back(data_message(2, pitch_block(0)));
    return Source(sound_file(messages)).play().size();
  };
  EXPECT_EQ(played(1), 1760u);
  EXPECT_EQ(played(2), 1760u);
  EXPECT_EQ(played(3), 880u);
  // A file that starts with two foreign messages plays nothing at all.
  std::vector<Bytes> messages{kForeign, kForeign};
  for (const Bytes& b : data_blocks(3)) messages.push_back(b);
  EXPECT_EQ(Source(sound_file(messages)).play().size(), 0u);
}

TEST(BlockSource, ShortBlocksNeverReadPastTheirEnd) {
  // Too short to carry a block number: not a sound-dump block, so it ends the fill as a foreign
  // message does, at the same place and with the same count.
  for (const Bytes& tiny :
       {Bytes{0xF0, 0x33, 0x00, 0x05, 0x00}, Bytes{0xF0, 0x33, 0x00, 0x05, 0x00, 0xF7}}) {
    Source s(sound_file({data_blocks(1)[0], tiny, data_message(2, pitch_block(0))}));
    EXPECT_EQ(s.fill(), 1760);
    EXPECT_EQ(s.source.foreign_messages(), 1);
    EXPECT_EQ(s.fill(), 1760);
    EXPECT_TRUE(s.source.finished());
  }
  // A cut data block plays what it has, the rest of it read as zero (pitch 0: 880 samples).
  std::mt19937 rng(1);
  Bytes cut = data_message(1, test::random_block(rng, 0));
  cut.resize(400);
  cut.push_back(0xF7);
  Source s(sound_file({cut}));
  ASSERT_EQ(s.fill(), 1760);
  double carry = 0.0;
  const auto expected =
      test::decode_all(unpack_block(cut.data(), static_cast<std::uint32_t>(cut.size())), carry);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), s.buffer.begin()));
}

// Full blocks are 1174 bytes (F0 33 dd 05 00 hi lo, 1166 packed bytes, F7) and carry all 1020
// bytes; blocks of 1173 bytes, as older files hold them, still count and play the same.
TEST(BlockSource, FullAndOlderShortByOneBlocksCountAndPlay) {
  std::mt19937 rng(7);
  const UnpackedBlock block = test::random_block(rng, 0);
  Bytes full = data_message(1, block);
  ASSERT_EQ(full.size(), 1174u);
  EXPECT_EQ(full[1173], 0xF7);
  EXPECT_LT(full[1172], 0x80);
  EXPECT_EQ(unpack_block(full.data(), 1174), block);
  Bytes older(full.begin(), full.begin() + 1172);
  older.push_back(0xF7);

  for (const Bytes& b : {full, older}) {
    Bytes file = sound_file({b, b}, 2);
    TrackReader track = TrackReader::read(ByteStream::from_memory(file)).value();
    const BlockCount count = count_blocks(track);
    EXPECT_TRUE(count.has_header);
    EXPECT_EQ(count.blocks, 2);
    Source s(file);
    double carry = 0.0;
    auto expected = test::decode_all(block, carry);
    const auto second = test::decode_all(block, carry);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(s.play(), expected) << b.size();
  }
}

TEST(BlockSource, FillStopsOnceAbove14080Bytes) {
  Source s(sound_file(data_blocks(20)));
  // 1760 bytes a block: after 8 blocks the count is 14 080, not above it, so a 9th follows.
  EXPECT_EQ(s.fill(), 9 * 1760);
  EXPECT_EQ(s.fill(), 9 * 1760);
  EXPECT_EQ(s.fill(), 2 * 1760);
  EXPECT_TRUE(s.source.finished());
  // A smaller room stops the fill when less than a sample is left.
  Source small(sound_file(data_blocks(20)));
  EXPECT_EQ(small.fill(3000), 3000);
  EXPECT_EQ(small.fill(3001), 3000);
}

TEST(BlockSource, AFileThatFitsOneBufferIsPlayedByTheFirstFill) {
  Source s(sound_file(data_blocks(3)));
  EXPECT_EQ(s.fill(), 3 * 1760);
  EXPECT_TRUE(s.source.finished());
  EXPECT_EQ(s.fill(), 0);
  EXPECT_EQ(Source(sound_file(data_blocks(3))).play().size(), 3u * 880);
}

TEST(BlockSource, SlowBlockIsCutAtTheEndOfTheBuffer) {
  // Pitch byte 127 would give ~50 million samples; the buffer takes 21 120 and the next fill
  // starts with the next block.
  std::vector<Bytes> messages{data_message(1, pitch_block(127)),
                              data_message(2, pitch_block(0, 20))};
  Source s(sound_file(messages));
  EXPECT_EQ(s.fill(), static_cast<int>(kPreviewBufferBytes));
  EXPECT_EQ(s.fill(), 1760);
  EXPECT_EQ(s.buffer[10], static_cast<std::int16_t>(20 * 256 * 32766 / 32768));
}

// What is no MIDI file gives no track to play; an empty track plays nothing.
TEST(BlockSource, UnreadableOrEmptyTrackGivesNothing) {
  const Bytes text{'n', 'o', 't', ' ', 'm', 'i', 'd', 'i'};
  EXPECT_EQ(TrackReader::read(ByteStream::from_memory(text)).code(), ErrorCode::BadFile);
  Source s(make_smf0({}));
  EXPECT_EQ(s.fill(), 0);
  EXPECT_TRUE(s.source.finished());
  EXPECT_TRUE(s.play().empty());
}

}  // namespace
}  // namespace brisca
