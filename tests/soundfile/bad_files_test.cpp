// A corpus of broken files: each must end with a clear outcome, never loop, never read or
// write out of bounds (the sanitizer build runs these too).
#include <gtest/gtest.h>

#include <random>

#include "sound_bytes.h"
#include "soundfile/block_count.h"

namespace brisca {
namespace {

using test::data_block;
using test::smf_with_track;
using test::stream_of;

Bytes good_file() {
  return make_smf0({make_header_block("Tom", "DRUM", 3), data_block(1), data_block(2)});
}

// Walks a file the way every caller does, with a bound on the events a correct reader can give.
int walk(const Bytes& file, std::int32_t* open_code = nullptr) {
  TrackReader track(stream_of(file));
  if (open_code) *open_code = track.open_result();
  MidiEvent e;
  int events = 0;
  while (track.next(e)) {
    ++events;
    if (events > static_cast<int>(file.size())) ADD_FAILURE() << "more events than bytes";
    if (events > static_cast<int>(file.size())) break;
  }
  return events;
}

TEST(BadFiles, TruncatedAtEveryByte) {
  Bytes file = good_file();
  for (std::size_t len = 0; len < file.size(); len += (len < 64 ? 1 : 7)) {
    Bytes cut(file.begin(), file.begin() + static_cast<long>(len));
    std::int32_t code = 0;
    walk(cut, &code);
    if (len < 22) {
      EXPECT_EQ(code, BAD_MIDI_FILE) << len;
    }
    TrackReader track(stream_of(cut));
    BlockCount c = count_blocks(track);
    // The header block is first: a file cut inside it has no count.
    if (len < 22 + 3 + kPackedBlockSize) {
      EXPECT_FALSE(c.has_header) << len;
    }
  }
}

TEST(BadFiles, AbsurdLengthsAndWrongChunks) {
  std::int32_t code = 0;
  // A track length of 4 GiB - 1 over a few bytes.
  walk(smf_with_track({0x00, 0x90, 0x3C, 0x40}, 0xFFFFFFFFl), &code);
  EXPECT_EQ(code, -1);  // reads as an error code range: the caller gives up on it
  EXPECT_TRUE(is_reader_error(code));

  // Absurd declared body lengths.
  EXPECT_EQ(walk(smf_with_track({0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0x7F})), 0);
  EXPECT_EQ(walk(smf_with_track({0x00, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0x7F})), 0);
  // A delta time that never ends.
  EXPECT_EQ(walk(smf_with_track(Bytes(5000, 0x80))), 0);

  Bytes riff{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k', 0, 0, 0, 0};
  walk(riff, &code);
  EXPECT_EQ(code, BAD_MIDI_FILE);
  Bytes mthd_mthd = smf_with_track({});
  std::copy_n("MThd", 4, mthd_mthd.begin() + 14);
  walk(mthd_mthd, &code);
  EXPECT_EQ(code, BAD_TRACK);
}

TEST(BadFiles, RandomBytesBehindAValidHeader) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 300; ++round) {
    Bytes body(static_cast<std::size_t>(rng() % 3000));
    for (auto& b : body) b = static_cast<std::uint8_t>(rng());
    Bytes file = smf_with_track(body, round % 2 ? -1 : static_cast<long>(rng() % 100000));
    walk(file);
    TrackReader track(stream_of(file));
    count_blocks(track);
  }
}

}  // namespace
}  // namespace brisca
