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
using test::track_of;

Bytes good_file() {
  return make_smf0({make_header_block("Tom", "DRUM", 3), data_block(1), data_block(2)});
}

// Walks a file the way every caller does, with a bound on the events a correct reader can give.
// `fault`: the header's fault the user is shown, empty when the headers are good.
int walk(const Bytes& file, std::string* fault = nullptr) {
  Result<TrackReader> track = TrackReader::read(stream_of(file));
  if (fault) *fault = track ? std::string() : track.message();
  if (!track) return 0;
  MidiEvent e;
  int events = 0;
  while (track->next(e)) {
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
    std::string fault;
    walk(cut, &fault);
    if (len < 22) {
      EXPECT_EQ(fault, "Bad MIDI file!") << len;
      continue;
    }
    TrackReader track = track_of(cut);
    BlockCount c = count_blocks(track);
    // The header block is first: a file cut inside it has no count.
    if (len < 22 + 3 + kPackedBlockSize) {
      EXPECT_FALSE(c.has_header) << len;
    }
  }
}

TEST(BadFiles, AbsurdLengthsAndWrongChunks) {
  std::string fault;
  // A track length of 4 GiB - 1 (or anything near it) over a few bytes is a track cut short,
  // like any length beyond the file: its events are read, and it is told as cut.
  for (long declared : {0xFFFFFFFFl, 0xFFFFFF01l, 0x80000000l}) {
    const Bytes file = smf_with_track({0x00, 0x90, 0x3C, 0x40}, declared);
    EXPECT_EQ(walk(file, &fault), 1) << declared;
    EXPECT_EQ(fault, "") << declared;
    TrackReader track = track_of(file);
    EXPECT_EQ(track.remaining(), static_cast<std::uint32_t>(declared));
    MidiEvent e;
    while (track.next(e)) {
    }
    EXPECT_TRUE(track.cut()) << declared;
  }

  // Absurd declared body lengths.
  EXPECT_EQ(walk(smf_with_track({0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0x7F})), 0);
  EXPECT_EQ(walk(smf_with_track({0x00, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0x7F})), 0);
  // A delta time that never ends.
  EXPECT_EQ(walk(smf_with_track(Bytes(5000, 0x80))), 0);

  Bytes riff{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k', 0, 0, 0, 0};
  walk(riff, &fault);
  EXPECT_EQ(fault, "Bad MIDI file!");
  Bytes mthd_mthd = smf_with_track({});
  std::copy_n("MThd", 4, mthd_mthd.begin() + 14);
  walk(mthd_mthd, &fault);
  EXPECT_EQ(fault, "Bad track!");
}

TEST(BadFiles, RandomBytesBehindAValidHeader) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 300; ++round) {
    Bytes body(static_cast<std::size_t>(rng() % 3000));
    for (auto& b : body) b = static_cast<std::uint8_t>(rng());
    Bytes file = smf_with_track(body, round % 2 ? -1 : static_cast<long>(rng() % 100000));
    walk(file);
    TrackReader track = track_of(file);
    count_blocks(track);
  }
}

}  // namespace
}  // namespace brisca
