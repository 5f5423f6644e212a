#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sound_bytes.h"
#include "soundfile/midi_reader.h"
#include "soundfile/track_reader.h"
#include "tests/support/sound_files.h"

namespace brisca {
namespace {

using test::smf_with_track;
using test::stream_of;
using test::track_of;

Result<std::uint32_t> open_result(const Bytes& file) {
  auto s = stream_of(file);
  return open_track(s);
}

// The text a user is shown for the file's headers; empty when they are good.
std::string fault(const Bytes& file) {
  const Result<std::uint32_t> length = open_result(file);
  if (length) return {};
  EXPECT_EQ(length.code(), ErrorCode::BadFile);
  return length.message();
}

TEST(OpenTrack, HeaderChecksGiveTheirTexts) {
  Bytes good = smf_with_track({0x00, 0xFF, 0x2F, 0x00});
  EXPECT_EQ(open_result(good).value(), 4u);

  EXPECT_EQ(fault(Bytes(good.begin(), good.begin() + 21)), "Bad MIDI file!");
  Bytes wrong_magic = good;
  wrong_magic[0] = 'X';
  EXPECT_EQ(fault(wrong_magic), "Bad MIDI file!");
  EXPECT_TRUE(is_not_midi(open_result(wrong_magic).error()));
  Bytes wrong_length = good;
  wrong_length[7] = 7;
  EXPECT_EQ(fault(wrong_length), "Bad MIDI file!");
  EXPECT_EQ(fault(smf_with_track({}, -1, 1)), "Not format 0!");
  EXPECT_FALSE(is_not_midi(open_result(smf_with_track({}, -1, 1)).error()));
  Bytes wrong_track = good;
  wrong_track[14] = 'X';
  EXPECT_EQ(fault(wrong_track), "Bad track!");

  // Track count and division are not looked at; every length is a length.
  Bytes odd = good;
  odd[10] = 0x12;
  odd[12] = 0xFF;
  EXPECT_EQ(open_result(odd).value(), 4u);
  EXPECT_EQ(open_result(smf_with_track({}, 0xFFFFFF02l)).value(), 0xFFFFFF02u);
}

class ReadEvent : public ::testing::Test {
 protected:
  // The bytes the event took; -1 when the stream ends inside it.
  std::int64_t read(const Bytes& bytes) {
    stream_bytes = bytes;
    stream.emplace(stream_of(stream_bytes));
    const Result<std::uint64_t> taken = read_event(event, *stream, running);
    if (!taken) {
      EXPECT_EQ(taken.code(), ErrorCode::Damaged);
    }
    return taken ? static_cast<std::int64_t>(*taken) : kCut;
  }
  static constexpr std::int64_t kCut = -1;
  Bytes stream_bytes;
  std::optional<ByteStream> stream;
  MidiEvent event;
  std::uint8_t running = kStartRunningStatus;
};

TEST_F(ReadEvent, SystemExclusiveBodies) {
  EXPECT_EQ(read({0x00, 0xF0, 0x03, 0x01, 0x02, 0xF7}), 6);
  EXPECT_EQ(event.status, 0xF0);
  ASSERT_TRUE(event.has_data());
  EXPECT_EQ(event.length, 4u);
  EXPECT_EQ(event.data[0], 0xF0);
  EXPECT_EQ(event.data[3], 0xF7);

  EXPECT_EQ(read({0x81, 0x00, 0xF7, 0x02, 0x05, 0xF7}), 6);
  EXPECT_EQ(event.delta, 128u);
  EXPECT_EQ(event.status, 0xF7);
  EXPECT_EQ(event.length, 2u);
  EXPECT_EQ(event.data[0], 0x05);
}

TEST_F(ReadEvent, OnlyChannelEventsSetTheRunningStatus) {
  // A stream that opens with a data byte uses the start-up status 0x80.
  EXPECT_EQ(read({0x00, 0x3C, 0x40}), 3);
  EXPECT_EQ(event.status, 0x80);
  EXPECT_EQ(event.data1(), 0x3C);

  EXPECT_EQ(read({0x00, 0x92, 0x3C, 0x40}), 4);
  EXPECT_EQ(running, 0x92);
  // A meta and a SysEx event leave it alone.
  read({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});
  read({0x00, 0xF0, 0x01, 0xF7});
  EXPECT_EQ(running, 0x92);
  EXPECT_EQ(read({0x05, 0x3E, 0x00}), 3);  // the data byte is counted once
  EXPECT_EQ(event.status, 0x92);
  EXPECT_EQ(event.data2(), 0x00);

  // Program change and channel pressure have one data byte.
  EXPECT_EQ(read({0x00, 0xC5, 0x07, 0x99}), 3);
  EXPECT_EQ(read({0x00, 0xD0, 0x07}), 3);
}

TEST_F(ReadEvent, MetaEventsLongAndShort) {
  EXPECT_EQ(read({0x00, 0xFF, 0x03, 0x04, 'K', 'i', 'c', 'k'}), 8);
  EXPECT_EQ(event.meta_type, 0x03);
  ASSERT_TRUE(event.has_data());
  EXPECT_EQ(event.data[3], 'k');

  EXPECT_EQ(read({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}), 7);
  EXPECT_FALSE(event.has_data());
  EXPECT_EQ(event.inline_data[2], 0x20);

  // A short meta longer than the inline room keeps 64 bytes and skips the rest.
  Bytes big{0x00, 0xFF, 0x58, 100};
  for (int i = 0; i < 100; ++i) big.push_back(static_cast<std::uint8_t>(i));
  big.push_back(0x77);
  EXPECT_EQ(read(big), 104);
  EXPECT_EQ(event.inline_data[63], 63);
  EXPECT_EQ(stream->getc(), 0x77);

  EXPECT_FALSE(is_long_meta(0x2F));
  EXPECT_FALSE(is_long_meta(89));
  EXPECT_TRUE(is_long_meta(0x7F));
}

TEST_F(ReadEvent, UnhandledStatusAndTruncation) {
  EXPECT_EQ(read({0x00, 0xF2, 0x01, 0x02}), 2);  // the delta time and the status byte
  EXPECT_EQ(event.status, 0xF2);

  // The end of the stream inside a delta time, a status, a body or a length.
  EXPECT_EQ(read({0x81, 0x82}), kCut);
  EXPECT_EQ(read({0x00}), kCut);
  EXPECT_EQ(read({0x00, 0x90, 0x3C}), kCut);
  EXPECT_EQ(read({0x00, 0xF0, 0x85}), kCut);
  EXPECT_EQ(read({0x00, 0xF0, 0x05, 0x01}), kCut);
  EXPECT_FALSE(event.has_data());
  // A declared length far beyond the data allocates nothing.
  EXPECT_EQ(read({0x00, 0xF0, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0x01}), kCut);
  EXPECT_EQ(read({0x00, 0xFF, 0x03, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}), kCut);
}

TEST(TrackReader, CountsDownAndClosesAtTheEnd) {
  Bytes body{0x00, 0x90, 0x3C, 0x40, 0x00, 0xF0, 0x01, 0xF7, 0x00, 0xFF, 0x2F, 0x00};
  Bytes file = smf_with_track(body);
  TrackReader track = track_of(file);
  MidiEvent e;
  ASSERT_TRUE(track.next(e));
  EXPECT_EQ(track.remaining(), 8u);
  ASSERT_TRUE(track.next(e));
  EXPECT_TRUE(e.is_sysex_with_data());
  ASSERT_TRUE(track.next(e));
  EXPECT_EQ(track.remaining(), 0u);
  EXPECT_FALSE(track.is_open());
  EXPECT_FALSE(track.next(e));
}

// Each track remembers its own running status from 0x80: a file read after, or between the
// events of, another file never inherits that file's status.
TEST(TrackReader, EachTrackKeepsItsOwnRunningStatus) {
  Bytes sets_92 = smf_with_track({0x00, 0x92, 0x3C, 0x40, 0x00, 0x3E, 0x41});
  Bytes opens_with_data = smf_with_track({0x00, 0x3C, 0x40, 0x00, 0xB1, 0x07, 0x64});
  TrackReader first = track_of(sets_92);
  TrackReader second = track_of(opens_with_data);
  MidiEvent e;
  ASSERT_TRUE(first.next(e));
  EXPECT_EQ(e.status, 0x92);
  ASSERT_TRUE(second.next(e));
  EXPECT_EQ(e.status, 0x80);
  ASSERT_TRUE(second.next(e));
  EXPECT_EQ(e.status, 0xB1);
  ASSERT_TRUE(first.next(e));
  EXPECT_EQ(e.status, 0x92);
  EXPECT_EQ(e.data1(), 0x3E);

  TrackReader later = track_of(opens_with_data);
  ASSERT_TRUE(later.next(e));
  EXPECT_EQ(e.status, 0x80);
}

TEST(TrackReader, EndsOnShortFilesLongLengthsAndUnhandledStatus) {
  MidiEvent e;
  // Track length larger than the file: the end of the file ends the track.
  Bytes file = smf_with_track({0x00, 0x90, 0x3C, 0x40}, 1000);
  TrackReader longer = track_of(file);
  EXPECT_TRUE(longer.next(e));
  EXPECT_FALSE(longer.next(e));

  // An event that would take the count below zero ends the track but is still returned.
  Bytes over = smf_with_track({0x00, 0xF0, 0x03, 0x01, 0x02, 0xF7}, 2);
  TrackReader cut = track_of(over);
  EXPECT_TRUE(cut.next(e));
  EXPECT_TRUE(e.is_sysex_with_data());
  EXPECT_FALSE(cut.next(e));

  // Unhandled status bytes count the bytes they took, so the track still ends.
  Bytes junk;
  for (int i = 0; i < 2000; ++i) junk.insert(junk.end(), {0x00, 0xF4});
  Bytes junk_file = smf_with_track(junk);
  TrackReader unhandled = track_of(junk_file);
  int events = 0;
  while (unhandled.next(e)) ++events;
  EXPECT_EQ(events, 2000);

  const Result<TrackReader> not0 = TrackReader::read(stream_of(smf_with_track({}, -1, 1)));
  ASSERT_FALSE(not0);
  EXPECT_EQ(not0.message(), "Not format 0!");
}

TEST(TrackReader, OpensFilesAndRefusesFolders) {
  EXPECT_EQ(TrackReader::open("/nonexistent/file.mid").code(), ErrorCode::Io);
  EXPECT_EQ(TrackReader::open("/tmp").code(), ErrorCode::Io);
}

// A named pipe without a writer would block an ordinary open for ever; the alarm ends the test
// program if it does.
TEST(TrackReader, RefusesPipesAndDevicesWithoutWaiting) {
  test::TempDir dir;
  const std::string pipe = dir / "pipe.mid";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  ::alarm(10);
  EXPECT_EQ(TrackReader::open(pipe).code(), ErrorCode::Io);
  EXPECT_EQ(TrackReader::open("/dev/zero").code(), ErrorCode::Io);
  ::alarm(0);
  EXPECT_EQ(unopened_file_reason(pipe), "a named pipe, not a file");
  EXPECT_EQ(unopened_file_reason("/dev/zero"), "a device, not a file");
  EXPECT_EQ(unopened_file_reason(dir / "none.mid"), "no such file");
  EXPECT_EQ(unopened_file_reason(dir.path()), "a folder, not a file");
  write_file(dir / "good.mid", make_smf0({}));
  EXPECT_TRUE(TrackReader::open(dir / "good.mid").ok());
}

}  // namespace
}  // namespace brisca
