// The receiver fed as the MIDI input feeds it: whole dumps in buffers of any size, with real-time
// bytes and other messages mixed in; incomplete dumps of every kind; the files and their names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/manual_clock.h"
#include "monitor/monitor_display.h"
#include "receive/port_listener.h"
#include "receive/sound_folder.h"
#include "receive/sound_receiver.h"
#include "soundfile/sound_check.h"
#include "tests/monitor/fake_midi_in.h"
#include "tests/receive/dump_maker.h"
#include "tests/support/sound_files.h"

namespace brisca {
namespace {

using namespace std::chrono_literals;

using test::dump_messages;
using test::file_messages;
using test::joined;
using Clock = SoundReceiver::Clock;

struct Recorder : ReceiveEvents {
  std::vector<SoundProgress> begun;
  int blocks = 0;
  std::vector<ReceivedSound> ended;
  void sound_begun(const SoundProgress& s) override { begun.push_back(s); }
  void block_received(const SoundProgress&) override { ++blocks; }
  void sound_ended(const ReceivedSound& s) override { ended.push_back(s); }
};

// Feeds `bytes` in buffers whose sizes follow `sizes` round and round.
void feed(SoundReceiver& r, const Bytes& bytes, const std::vector<std::size_t>& sizes,
          Clock::time_point now = Clock::time_point{}) {
  std::size_t at = 0;
  for (std::size_t i = 0; at < bytes.size(); ++i) {
    const std::size_t n = std::min(sizes[i % sizes.size()], bytes.size() - at);
    r.long_data(bytes.data() + at, n, now);
    at += n;
  }
}

std::string name_of(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

Bytes read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Puts a clock byte inside each block and an active-sensing byte, a note and another maker's
// message between blocks; none of them belongs to the dump.
Bytes with_other_traffic(const std::vector<Bytes>& messages) {
  Bytes all;
  for (const Bytes& m : messages) {
    all.insert(all.end(), m.begin(), m.begin() + 100);
    all.push_back(0xF8);
    all.insert(all.end(), m.begin() + 100, m.end());
    for (std::uint8_t b : {0xFE, 0x90, 0x3C, 0x40, 0xF0, 0x41, 0x10, 0x42, 0x12, 0xF7, 0x05})
      all.push_back(b);
  }
  return all;
}

TEST(SoundReceiver, WholeDumpsComeOutByteForByteHoweverTheBuffersCut) {
  test::TempDir dir;
  { std::ofstream(dir / "Kick.mid") << "a file already here"; }
  const auto kick = dump_messages("Kick", 6);
  const auto snare = dump_messages("Snare", 3, 0x11);
  Bytes stream = with_other_traffic(kick);
  const Bytes second = with_other_traffic(snare);
  stream.insert(stream.end(), second.begin(), second.end());

  const std::vector<std::vector<std::size_t>> cuts{{16384}, {1}, {200}, {7, 13, 1, 331}};
  for (std::size_t round = 0; round < cuts.size(); ++round) {
    SCOPED_TRACE("buffers of " + std::to_string(cuts[round][0]) + " bytes");
    Recorder events;
    SoundReceiver receiver(dir.path(), events);
    feed(receiver, stream, cuts[round]);
    ASSERT_EQ(events.ended.size(), 2u);
    EXPECT_EQ(events.blocks, 5 + 2);
    for (const ReceivedSound& s : events.ended) {
      EXPECT_TRUE(s.whole) << s.reason;
      EXPECT_EQ(s.missing, "");
    }
    EXPECT_EQ(events.begun[0].name, "Kick");
    EXPECT_EQ(events.begun[0].total_blocks, 6);
    EXPECT_EQ(events.ended[0].sound.blocks_received, 6);
    const std::string copy = " (" + std::to_string(round + 2) + ")";
    EXPECT_EQ(name_of(events.ended[0].path), "Kick" + copy + ".mid");
    EXPECT_EQ(name_of(events.ended[1].path),
              round == 0 ? "Snare.mid" : "Snare (" + std::to_string(round + 1) + ").mid");
    EXPECT_EQ(file_messages(events.ended[0].path), kick);
    EXPECT_EQ(file_messages(events.ended[1].path), snare);
    EXPECT_FALSE(receiver.in_progress());
    EXPECT_EQ(receiver.incomplete_count(), 0);
  }
  const Bytes kept = read_all(dir / "Kick.mid");
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "a file already here");
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().extension(), ".mid") << "a temporary file was left behind";
    ++files;
  }
  EXPECT_EQ(files, 1u + 2 * cuts.size());
}

struct Incomplete {
  const char* what;
  std::vector<int> order;  // the messages of a 6-block "Tom" sent, by index; -1: "Ride" follows
  const char* reason;
  const char* missing;
  std::vector<int> kept;      // the messages of "Tom" in its partial file
  std::size_t ended_at_once;  // sounds ended before any time passed
};

TEST(SoundReceiver, IncompleteDumpsAreWrittenAsPartialAndTellWhatIsMissing) {
  const std::vector<Incomplete> cases{
      {"a lost block",
       {0, 1, 2, 4, 5, -1},
       "the header block of another sound arrived",
       "3",
       {0, 1, 2, 4, 5},
       2},
      {"a header without blocks",
       {0, -1},
       "the header block of another sound arrived",
       "1-5",
       {0},
       2},
      {"the timeout", {0, 1, 2}, "nothing arrived for 3 s", "3-5", {0, 1, 2}, 0},
  };
  for (const Incomplete& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    Recorder events;
    SoundReceiver receiver(dir.path(), events);
    const auto tom = dump_messages("Tom", 6);
    const auto ride = dump_messages("Ride", 2);
    const Clock::time_point t0{};
    for (int i : c.order)
      receiver.long_data(i < 0 ? joined(ride).data() : tom[i].data(),
                         i < 0 ? joined(ride).size() : tom[i].size(), t0);
    receiver.poll(t0 + 2900ms);
    ASSERT_EQ(events.ended.size(), c.ended_at_once);
    receiver.poll(t0 + 3000ms);
    ASSERT_GE(events.ended.size(), 1u);
    const ReceivedSound& s = events.ended[0];
    EXPECT_FALSE(s.whole);
    EXPECT_EQ(s.reason, c.reason);
    EXPECT_EQ(s.missing, c.missing);
    EXPECT_EQ(name_of(s.path), "Tom (partial).mid");
    std::vector<Bytes> expected;
    for (int i : c.kept) expected.push_back(tom[i]);
    EXPECT_EQ(file_messages(s.path), expected);
    if (c.order.back() < 0) {
      EXPECT_TRUE(events.ended[1].whole);
      EXPECT_EQ(name_of(events.ended[1].path), "Ride.mid");
    }
    EXPECT_EQ(receiver.incomplete_count(), 1);
    EXPECT_FALSE(receiver.in_progress());
  }
}

TEST(SoundReceiver, BrokenBlocksStrayBlocksAndStoppingNeverPassForWhole) {
  test::TempDir dir;
  Recorder events;
  SoundReceiver receiver(dir.path(), events);
  const auto hat = dump_messages("Hat", 4);
  const Clock::time_point t0{};
  // Block 2 is cut short by a note; block 3 runs past the end of what a block can be.
  Bytes stream = joined({hat[0], hat[1]});
  stream.insert(stream.end(), hat[2].begin(), hat[2].begin() + 500);
  for (std::uint8_t b : {0x90, 0x3C, 0x40}) stream.push_back(b);
  stream.insert(stream.end(), hat[3].begin(), hat[3].end() - 1);
  stream.insert(stream.end(), SysexAssembler::kMaxBlockBytes, 0x11);
  stream.push_back(0xF7);
  receiver.long_data(stream.data(), stream.size(), t0);
  // Data blocks with no header before them, then a stop in the middle of the next block.
  const auto clap = dump_messages("Clap", 4);
  receiver.long_data(clap[0].data(), clap[0].size(), t0);  // ends "Hat"
  receiver.long_data(clap[2].data(), clap[2].size(), t0);
  receiver.poll(t0 + 3500ms);
  const auto other = dump_messages("Other", 3);
  for (int i : {1, 2}) receiver.long_data(other[i].data(), other[i].size(), t0 + 4s);
  receiver.long_data(other[1].data(), 600, t0 + 4s);
  receiver.poll(t0 + 6s);  // quiet for only 2 s
  EXPECT_TRUE(receiver.in_progress());
  receiver.stop();

  ASSERT_EQ(events.ended.size(), 3u);
  EXPECT_EQ(events.ended[0].reason, "block 2 broke off");
  EXPECT_EQ(events.ended[0].missing, "2-3");
  EXPECT_EQ(file_messages(events.ended[0].path), (std::vector<Bytes>{hat[0], hat[1]}));
  EXPECT_EQ(events.ended[1].reason, "nothing arrived for 3 s");
  EXPECT_EQ(events.ended[1].missing, "1, 3");
  EXPECT_EQ(name_of(events.ended[1].path), "Clap (partial).mid");
  EXPECT_EQ(events.ended[2].reason, "its header block did not arrive");
  EXPECT_EQ(events.ended[2].missing, "0 (the header)");
  EXPECT_EQ(name_of(events.ended[2].path), "Unnamed (partial).mid");
  EXPECT_EQ(file_messages(events.ended[2].path), (std::vector<Bytes>{other[1], other[2]}));
  for (const ReceivedSound& s : events.ended) EXPECT_FALSE(s.whole);
  EXPECT_EQ(receiver.whole_count(), 0);
}

// A data block that does not continue the sound in progress (a repeat, a step back, a number
// beyond its count) ends it and begins another: each file holds the blocks of one sound, and
// the file of each sound passes the file test exactly when the sound was called whole.
TEST(SoundReceiver, NoFileHoldsTheBlocksOfTwoSounds) {
  test::TempDir dir;
  Recorder events;
  SoundReceiver receiver(dir.path(), events);
  const auto kick = dump_messages("Example Kick", 27);
  const auto snare = dump_messages("Example Snare", 6);
  const auto tom = dump_messages("Tom", 6);
  const auto hat = dump_messages("Hat", 4);
  const auto big = dump_messages("Big", 12);
  auto send = [&](const std::vector<Bytes>& sound, std::vector<int> order) {
    for (int i : order) receiver.long_data(sound[i].data(), sound[i].size(), Clock::time_point{});
  };
  // Block 5 of the kick is lost, then the snare's header: the snare's blocks begin anew.
  std::vector<int> kick_sent;
  for (int i = 0; i < 27; ++i)
    if (i != 5) kick_sent.push_back(i);
  send(kick, kick_sent);
  send(snare, {1, 2, 3, 4, 5});
  send(tom, {0, 1, 2, 2, 3, 4, 5});  // a repeat
  send(hat, {0, 1, 2});
  send(big, {9, 10});    // beyond the hat's 4 blocks
  send(big, {4, 7, 2});  // a step back among blocks without a header
  receiver.stop();

  struct Expected {
    const char* file;
    std::vector<Bytes> messages;
    const char* reason;
    const char* missing;
  };
  std::vector<Bytes> kick_kept;
  for (int i : kick_sent) kick_kept.push_back(kick[i]);
  const std::vector<Expected> expected{
      {"Example Kick (partial).mid", kick_kept, "block 1 arrived after block 26", "5"},
      {"Unnamed (partial).mid",
       {snare[1], snare[2], snare[3], snare[4], snare[5]},
       "its header block did not arrive",
       "0 (the header)"},
      {"Tom (partial).mid", {tom[0], tom[1], tom[2]}, "block 2 arrived twice", "3-5"},
      {"Unnamed (partial) (2).mid",
       {tom[2], tom[3], tom[4], tom[5]},
       "its header block did not arrive",
       "0 (the header)"},
      {"Hat (partial).mid", {hat[0], hat[1], hat[2]}, "block 9 lies beyond its 4 blocks", "3"},
      {"Unnamed (partial) (3).mid",
       {big[9], big[10]},
       "its header block did not arrive",
       "0 (the header)"},
      {"Unnamed (partial) (4).mid",
       {big[4], big[7]},
       "its header block did not arrive",
       "0 (the header)"},
      {"Unnamed (partial) (5).mid", {big[2]}, "its header block did not arrive", "0 (the header)"},
  };
  ASSERT_EQ(events.ended.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const ReceivedSound& s = events.ended[i];
    SCOPED_TRACE(expected[i].file);
    EXPECT_EQ(name_of(s.path), expected[i].file);
    EXPECT_EQ(file_messages(s.path), expected[i].messages);
    EXPECT_EQ(s.reason, expected[i].reason);
    EXPECT_EQ(s.missing, expected[i].missing);
    EXPECT_FALSE(s.whole);
  }
  EXPECT_EQ(receiver.incomplete_count(), 8);
  for (const ReceivedSound& s : events.ended) {
    auto stream = ByteStream::open_file(s.path);
    ASSERT_TRUE(stream);
    const SoundCheck check = check_sound(*stream).value();
    EXPECT_FALSE(check.complete()) << s.path;
    EXPECT_EQ(check.whole().code(), ErrorCode::Damaged) << s.path;
  }
  auto stream = ByteStream::open_file(events.ended[0].path);
  EXPECT_EQ(check_sound(*stream)->whole().message(), "lacks block 5 of 27");
  stream = ByteStream::open_file(events.ended[1].path);
  EXPECT_EQ(check_sound(*stream)->whole().message(), "has no header block");

  // Once whole, a sound is written under its own name and passes the same test.
  send(snare, {0, 1, 2, 3, 4, 5});
  ASSERT_EQ(events.ended.size(), expected.size() + 1);
  EXPECT_TRUE(events.ended.back().whole);
  stream = ByteStream::open_file(events.ended.back().path);
  EXPECT_TRUE(check_sound(*stream)->complete());
}

TEST(SoundFolder, NamesFromHeadersStayInsideTheFolder) {
  EXPECT_EQ(file_stem("Kick 1"), "Kick 1");
  EXPECT_EQ(file_stem("AC/DC"), "AC_DC");
  EXPECT_EQ(file_stem("../../etc/passwd"), "____etc_passwd");
  EXPECT_EQ(file_stem(".."), "_");
  EXPECT_EQ(file_stem(" .hidden. "), "hidden");
  EXPECT_EQ(file_stem("a..b\\c:d*e?\"<>|\x01\xE9"), "a_b_c_d_e_______");
  EXPECT_EQ(file_stem(""), "Unnamed");
  EXPECT_EQ(sound_file_name("Kick", true, 3), "Kick (partial) (3).mid");

  test::TempDir dir;
  Recorder events;
  SoundReceiver receiver(dir.path(), events);
  for (const char* name : {"../escape", "../escape", "/abs"}) {
    const Bytes dump = joined(dump_messages(name, 2));
    receiver.long_data(dump.data(), dump.size(), Clock::time_point{});
  }
  ASSERT_EQ(events.ended.size(), 3u);
  EXPECT_EQ(events.ended[0].path, dir / "__escape.mid");
  EXPECT_EQ(events.ended[1].path, dir / "__escape (2).mid");
  EXPECT_EQ(events.ended[2].path, dir / "_abs.mid");

  SoundReceiver nowhere(dir / "missing-folder", events);
  const Bytes dump = joined(dump_messages("Lost", 2));
  nowhere.long_data(dump.data(), dump.size(), Clock::time_point{});
  ASSERT_EQ(events.ended.size(), 4u);
  EXPECT_EQ(events.ended[3].path, "");
  EXPECT_FALSE(events.ended[3].written.ok());
  EXPECT_NE(events.ended[3].written.message(), "");
  EXPECT_EQ(nowhere.unwritten_count(), 1);
}

// The input port's buffers reach the receiver while the monitor fields go on showing them.
TEST(SoundReceiver, ListensBesideTheMonitorFields) {
  test::TempDir dir;
  Recorder events;
  SoundReceiver receiver(dir.path(), events);
  ManualClock clock;
  ReceiverListener listener(receiver, clock);
  test::MonitorFields monitor;
  test::FakeInService service;
  MidiInPort port(service, clock, &monitor);
  port.set_listener(&listener);
  ASSERT_TRUE(port.open(1));
  auto drain = [&] { clock.run_posted(); };
  const auto conga = dump_messages("Conga", 12);  // more blocks than the port has buffers
  for (const Bytes& m : conga) {
    ASSERT_TRUE(service.long_message(m));
    service.short_message(0xFE);
    drain();
  }
  service.short_message(0x403C90);
  drain();
  ASSERT_EQ(events.ended.size(), 1u);
  EXPECT_TRUE(events.ended[0].whole);
  EXPECT_EQ(file_messages(events.ended[0].path), conga);
  EXPECT_EQ(monitor.field(MonitorField::SystemExclusive),
            sysex_summary(conga.back().data(), static_cast<std::uint32_t>(conga.back().size())));
  EXPECT_EQ(monitor.field(MonitorField::NoteOn), "90 3c 40 ");
  EXPECT_EQ(monitor.field(MonitorField::RealTime), "fe ");
  port.close();
}

}  // namespace
}  // namespace brisca
