// The down-load at a pace, timed on a manual clock: the device reports each chunk done at once,
// and each chunk is stamped with the moment it was handed to the port.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "common/manual_clock.h"
#include "download/download.h"
#include "soundfile/sound_writer.h"
#include "tests/download/download_fixture.h"
#include "tests/download/fake_midi_out.h"
#include "tests/support/fake_list.h"

namespace brisca::test {
namespace {

using std::chrono::milliseconds;

class PacedDownload : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("brisca-pace-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder);
    dir_index = list.add_directory(folder.string() + "/");
    service.log->auto_complete = true;
    ASSERT_EQ(download.open(1), 1);  // its open report takes the first tick
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  void add_selected(const std::string& name, const std::vector<Bytes>& messages) {
    ASSERT_TRUE(write_file((folder / name).string(), make_smf0(messages)));
    list.select(list.add_row(name, dir_index, static_cast<int>(messages.size())));
  }
  // Sends the selected rows a millisecond at a time; returns the moment the down-load ended.
  long long run(const Pace& pace) {
    download.sequencer().set_pace(pace);
    download.send_files();
    stamp();
    for (int guard = 0; guard < 1'000'000 && download.sequencer().is_busy(); ++guard) {
      if (clock.pending_calls() == 0) {
        ADD_FAILURE() << "busy with nothing on the clock";
        break;
      }
      clock.advance(milliseconds(1));
      stamp();
    }
    return now();
  }
  long long now() const { return clock.elapsed().count(); }
  void stamp() {
    while (times.size() < service.log->chunks.size()) times.push_back(now());
  }
  std::vector<std::size_t> sizes() const {
    std::vector<std::size_t> out;
    for (const auto& c : service.log->chunks) out.push_back(c.size());
    return out;
  }

  std::filesystem::path folder;
  int dir_index = 0;
  SoundList list;
  FakeMidiService service;
  ManualClock clock;
  Download download{service, list, clock};
  std::vector<long long> times;
};

TEST_F(PacedDownload, TheDefaultPaceSendsA200ByteChunkEvery70MsTick) {
  add_selected("a.mid", {sysex(450, 1)});
  add_selected("b.mid", {sysex(100, 2)});
  const long long end = run(Pace{});
  EXPECT_EQ(sizes(), (std::vector<std::size_t>{200, 200, 50, 100}));
  // The first tick takes the open report; the next file starts as the last report is taken.
  EXPECT_EQ(times, (std::vector<long long>{0, 140, 210, 280}));
  EXPECT_EQ(end, 350);
  EXPECT_EQ(end, 70 + download_ms(3, Pace{}) + download_ms(1, Pace{}));
}

TEST_F(PacedDownload, ASlowerPaceSendsSmallerChunksLessOftenAndPausesBetweenFiles) {
  add_selected("a.mid", {sysex(250, 1)});
  add_selected("b.mid", {sysex(100, 2)});
  add_selected("c.mid", {sysex(30, 3)});
  const Pace pace{100, 150, 500};
  const long long end = run(pace);
  EXPECT_EQ(sizes(), (std::vector<std::size_t>{100, 100, 50, 100, 30}));
  EXPECT_EQ(times, (std::vector<long long>{0, 300, 450, 1100, 1750}));
  EXPECT_EQ(end, 1900);
  EXPECT_EQ(end,
            150 + download_ms(3, pace) + 500 + download_ms(1, pace) + 500 + download_ms(1, pace));
  Bytes all;
  for (const auto& c : service.log->chunks) all.insert(all.end(), c.begin(), c.end());
  Bytes expected = sysex(250, 1);
  for (const Bytes& b : {sysex(100, 2), sysex(30, 3)})
    expected.insert(expected.end(), b.begin(), b.end());
  EXPECT_EQ(all, expected);
  for (int row = 0; row < 3; ++row) EXPECT_TRUE(test::marks(list, row) & test::kSent) << row;
}

TEST_F(PacedDownload, AStopDuringThePauseStartsNothingMore) {
  add_selected("a.mid", {sysex(100, 1)});
  add_selected("b.mid", {sysex(100, 2)});
  download.sequencer().set_pace(Pace{200, 70, 10'000});
  download.send_files();
  // The open report, then a's done report: a is sent and the pause begins.
  clock.advance(milliseconds(140));
  ASSERT_TRUE(download.sequencer().in_file_gap());
  EXPECT_GE(download.sequencer().milliseconds_left(), 10'000);
  const std::optional<Notice> stop = download.request_stop();
  ASSERT_TRUE(stop.has_value());  // asked during the pause too
  download.sequencer().stop_at_next_sound();
  clock.advance(milliseconds(9'999));
  EXPECT_TRUE(download.sequencer().in_file_gap());
  clock.advance(milliseconds(1));
  EXPECT_FALSE(download.sequencer().is_busy());
  EXPECT_EQ(service.log->chunks.size(), 1u);
  EXPECT_TRUE(test::marks(list, 1) & test::kSelected);
  EXPECT_EQ(clock.pending_calls(), 0u);
}

}  // namespace
}  // namespace brisca::test
