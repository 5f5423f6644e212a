// Whether a sound file is whole: every cut of a good file is caught, a file with fewer blocks
// than its header promises is named short, one whose blocks are not exactly those of one sound
// is named for its fault, and whole files pass however they end.
#include <gtest/gtest.h>

#include "sound_bytes.h"
#include "soundfile/sound_check.h"

namespace brisca {
namespace {

using test::data_block;
using test::smf_with_track;
using test::stream_of;

std::vector<Bytes> sound(int total, int present) {
  std::vector<Bytes> messages{make_header_block("Kick", "DRUM", total)};
  for (int n = 1; n < present; ++n) messages.push_back(data_block(static_cast<std::uint16_t>(n)));
  return messages;
}

// The check of a file whose headers are good.
SoundCheck check(const Bytes& file) {
  ByteStream stream = stream_of(file);
  return check_sound(stream).value();
}

// What is wrong with a file, as the down-load names it; empty when whole.
std::string problem(const SoundCheck& check) {
  const Status whole = check.whole();
  if (whole) return {};
  EXPECT_EQ(whole.code(), ErrorCode::Damaged);
  return whole.message();
}

TEST(SoundCheck, WholeFilesPassAndEveryCutFails) {
  const Bytes whole = make_smf0(sound(4, 4));
  SoundCheck ok = check(whole);
  EXPECT_TRUE(ok.complete());
  EXPECT_EQ(ok.blocks, 4);
  EXPECT_EQ(ok.header_total, 4);
  EXPECT_EQ(problem(ok), "");

  // Cut anywhere after the headers, even inside the closing End of Track: never whole.
  for (std::size_t len = 22; len < whole.size(); len += (len < 1300 ? 1 : 97)) {
    SoundCheck c = check(Bytes(whole.begin(), whole.begin() + static_cast<long>(len)));
    EXPECT_FALSE(c.complete()) << len;
    EXPECT_TRUE(c.cut) << len;
    EXPECT_FALSE(problem(c).empty()) << len;
  }
  // Cut inside the third block: two whole blocks before it.
  SoundCheck half = check(Bytes(whole.begin(), whole.begin() + 22 + 2 * 1176 + 100));
  EXPECT_EQ(problem(half), "ends after 2 of 4 blocks");

  // A file without a header block that is whole passes; cut, it says so without a total.
  const Bytes plain = make_smf0({Bytes{0xF0, 0x7E, 0x00, 0xF7}, Bytes{0xF0, 0x41, 0x10, 0xF7}});
  EXPECT_TRUE(check(plain).complete());
  SoundCheck plain_cut = check(Bytes(plain.begin(), plain.end() - 6));
  EXPECT_FALSE(plain_cut.complete());
  EXPECT_EQ(problem(plain_cut), "is cut short");
}

TEST(SoundCheck, FewerBlocksThanTheHeaderPromisesAndBadHeaders) {
  // A well-formed track holding 13 of the 27 blocks its header counts.
  SoundCheck short_file = check(make_smf0(sound(27, 13)));
  EXPECT_FALSE(short_file.cut);
  EXPECT_FALSE(short_file.complete());
  EXPECT_EQ(problem(short_file), "ends after 13 of 27 blocks");
  // A sound is whole only with one header and each of its data blocks exactly once, in any
  // order; no sound-dump block of anything else.
  const Bytes other_header = make_header_block("Snare", "DRUM", 3);
  struct Case {
    std::vector<int> blocks;  // data block numbers; -1 the header of total 4, -2 another header
    const char* problem;
  };
  const std::vector<Case> cases{
      {{-1, 1, 2, 3}, ""},
      {{3, 1, 2, -1}, ""},
      {{1, 2, 3}, "has no header block"},
      {{-1, 1, 2, 3, -2}, "holds 2 header blocks"},
      {{-1, 1, 2, 2, 3}, "holds block 2 twice"},
      {{-1, 1, 2, 3, 4}, "holds block 4, beyond its 4 blocks"},
      {{-1, 1, 3}, "lacks block 2 of 4"},
      {{-1, 2}, "lacks blocks 1, 3 of 4"},
  };
  for (const Case& c : cases) {
    std::vector<Bytes> messages{Bytes{0xF0, 0x41, 0x10, 0xF7}};  // another maker's: passed over
    for (int n : c.blocks)
      messages.push_back(n == -1   ? make_header_block("Kick", "DRUM", 4)
                         : n == -2 ? other_header
                                   : data_block(static_cast<std::uint16_t>(n)));
    const SoundCheck got = check(make_smf0(messages));
    EXPECT_EQ(problem(got), c.problem) << c.problem;
    EXPECT_EQ(got.complete(), std::string(c.problem).empty()) << c.problem;
  }
  EXPECT_EQ(problem(check(make_smf0({make_header_block("Kick", "DRUM", 0)}))),
            "its header gives 0 blocks");
  // A message too short to hold a block number is not a block.
  std::vector<Bytes> stubs = sound(3, 2);
  stubs.push_back(Bytes{0xF0, 0x33, 0x00, 0x05, 0x00, 0xF7});
  EXPECT_EQ(problem(check(make_smf0(stubs))), "ends after 2 of 3 blocks");
  // A track declared longer than the file is cut.
  Bytes body{0x00, 0xF0, 0x03, 0x7E, 0x00, 0xF7};
  EXPECT_TRUE(check(smf_with_track(body, 100)).cut);
  // Bad headers give the reader's error and text.
  const Bytes head{'M', 'T', 'h', 'd'};
  ByteStream stream = stream_of(head);
  const Result<SoundCheck> bad = check_sound(stream);
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.code(), ErrorCode::BadFile);
  EXPECT_EQ(bad.message(), "Bad MIDI file!");
}

}  // namespace
}  // namespace brisca
