// Preview playback on a fake wave device: what is submitted, in which buffer, and what a stop,
// a new preview or a device that went away do to it.
#include "preview/preview_player.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "common/manual_clock.h"
#include "tests/preview/block_maker.h"
#include "tests/preview/fake_wave_out.h"

namespace brisca {
namespace {

namespace fs = std::filesystem;
using test::FakeAudioService;
using test::WaveLog;

// n data blocks of random sound at pitch byte 0 (880 samples each), after a header block.
Bytes sound_of(int blocks, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<Bytes> messages;
  for (int i = 1; i <= blocks; ++i)
    messages.push_back(make_block(static_cast<std::uint16_t>(i), test::random_block(rng, 0)));
  return test::sound_file(messages, blocks);
}

// What the block source gives for the file, buffer by buffer, as playback submits them.
std::vector<std::vector<std::int16_t>> expected_buffers(const std::string& path) {
  std::vector<std::vector<std::int16_t>> out;
  auto track = TrackReader::open(path);
  BlockSource source(std::move(*track));
  play_out(source, [&](const std::int16_t* s, std::size_t n) { out.emplace_back(s, s + n); });
  return out;
}

class PreviewPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("preview_player_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string folder() const { return dir_.string() + "/"; }
  std::string file(const std::string& name, const Bytes& bytes) {
    write_file(folder() + name, bytes);
    return name;
  }
  // Runs the device's posted reports, as the clock's thread does.
  int dispatch() { return clock_.run_posted(); }
  // Plays everything out: each queued buffer finishes, its report is handled.
  void play_to_end() {
    while (!log_.queued.empty()) {
      log_.finish_one();
      dispatch();
    }
  }

  fs::path dir_;
  WaveLog log_;
  FakeAudioService service_{log_};
  ManualClock clock_;
  PreviewPlayer player_{service_, clock_};
};

TEST_F(PreviewPlayerTest, OpenTakesTheEntryIndexAndStartsWithBothBuffersFree) {
  EXPECT_EQ(player_.open(0).code(), ErrorCode::InvalidArgument);
  EXPECT_EQ(player_.open(3).code(), ErrorCode::DeviceFailed);  // the service has two devices
  EXPECT_TRUE(player_.open(2));
  EXPECT_EQ(log_.opened_device, 1);
  EXPECT_TRUE(player_.stop());  // both buffers count as done from the start
  EXPECT_FALSE(player_.busy());
}

TEST_F(PreviewPlayerTest, WithoutADevicePreviewsAreIgnored) {
  const std::string name = file("a.mid", sound_of(3, 1));
  EXPECT_TRUE(player_.start_preview(folder(), name));
  EXPECT_TRUE(log_.written.empty());
}

TEST_F(PreviewPlayerTest, BuffersAlternateUntilTheTrackRunsOut) {
  const std::string name = file("long.mid", sound_of(40, 2));
  ASSERT_TRUE(player_.open(1));
  ASSERT_TRUE(player_.start_preview(folder(), name));
  ASSERT_EQ(log_.written.size(), 2u);  // both buffers queued at the start
  EXPECT_TRUE(player_.busy());
  play_to_end();
  EXPECT_EQ(log_.written, expected_buffers(folder() + name));
  for (std::size_t i = 0; i + 1 < log_.written.size(); ++i)  // only the last one is short
    EXPECT_GT(log_.written[i].size() * 2, kFillThresholdBytes);
  EXPECT_FALSE(player_.busy());
  EXPECT_EQ(dispatch(), 0);  // every report was handled as it came
}

TEST_F(PreviewPlayerTest, AFileOfOneBufferIsSubmittedOnceAndTheHeaderAddsNothing) {
  std::mt19937 rng(3);
  const UnpackedBlock block = test::random_block(rng, 0);
  const std::string name =
      file("short.mid", test::sound_file({make_block(1, block), make_block(2, block)}, 2));
  ASSERT_TRUE(player_.open(1));
  ASSERT_TRUE(player_.start_preview(folder(), name));
  ASSERT_EQ(log_.written.size(), 1u);  // the second refill found nothing more
  double carry = 0.0;
  std::vector<std::int16_t> expected = test::decode_all(block, carry);
  const auto second = test::decode_all(block, carry);
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(log_.written[0], expected);  // two data blocks' samples, none from the header
  play_to_end();
  EXPECT_EQ(log_.written.size(), 1u);
}

TEST_F(PreviewPlayerTest, ANewPreviewStopsTheFirstAndStartsTheSecondFromItsBeginning) {
  const std::string first = file("first.mid", sound_of(40, 4));
  const std::string second = file("second.mid", sound_of(40, 5));
  ASSERT_TRUE(player_.open(1));
  ASSERT_TRUE(player_.start_preview(folder(), first));
  log_.finish_one();
  dispatch();  // one refill: three buffers written so far
  ASSERT_EQ(log_.written.size(), 3u);
  const int resets = log_.resets;
  ASSERT_TRUE(player_.start_preview(folder(), second));
  EXPECT_EQ(log_.resets, resets + 1);
  ASSERT_EQ(log_.written.size(), 5u);
  dispatch();  // the reset's reports find both buffers queued and submit nothing
  ASSERT_EQ(log_.written.size(), 5u);
  play_to_end();
  const auto expected = expected_buffers(folder() + second);
  const std::vector<std::vector<std::int16_t>> played(log_.written.begin() + 3, log_.written.end());
  EXPECT_EQ(played, expected);  // phase carry back at 0: the same samples as a fresh start
}

TEST_F(PreviewPlayerTest, BadHeaderFailsWithTheFilesTextAndPlaysNothing) {
  const std::string name = file("bad.mid", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0});
  ASSERT_TRUE(player_.open(1));
  const Status bad = player_.start_preview(folder(), name);
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.code(), ErrorCode::BadFile);
  EXPECT_EQ(bad.message(), "Bad MIDI file!");
  EXPECT_TRUE(log_.written.empty());
  const Status missing = player_.start_preview(folder(), "missing.mid");
  EXPECT_EQ(missing.code(), ErrorCode::Io);
  EXPECT_TRUE(log_.written.empty());
}

TEST_F(PreviewPlayerTest, FolderWithoutTrailingSeparatorStillNamesTheFile) {
  const std::string name = file("a.mid", sound_of(2, 6));
  ASSERT_TRUE(player_.open(1));
  ASSERT_TRUE(player_.start_preview(dir_.string(), name));
  EXPECT_EQ(log_.written.size(), 1u);
}

TEST_F(PreviewPlayerTest, StopGivesUpAfterOneSecondAndThePreviewGoesOn) {
  const std::string name = file("a.mid", sound_of(40, 7));
  ASSERT_TRUE(player_.open(1));
  ASSERT_TRUE(player_.start_preview(folder(), name));
  log_.reset_leaves_queued = true;
  EXPECT_EQ(player_.stop().code(), ErrorCode::DeviceFailed);
  log_.reset_leaves_queued = false;
  EXPECT_TRUE(player_.stop());
}

TEST_F(PreviewPlayerTest, ARefusedWriteEndsThePreviewWithoutLeavingABufferBusy) {
  const std::string name = file("a.mid", sound_of(40, 8));
  ASSERT_TRUE(player_.open(1));
  ASSERT_TRUE(player_.start_preview(folder(), name));
  log_.refuse_writes = true;  // the device went away while playing
  play_to_end();
  EXPECT_TRUE(player_.device_failed());
  EXPECT_FALSE(player_.busy());
  EXPECT_EQ(log_.written.size(), 2u);
  ASSERT_TRUE(player_.start_preview(folder(), name));  // Stop does not wait: both buffers are free
  EXPECT_TRUE(player_.stop());
  log_.refuse_writes = false;
  ASSERT_TRUE(player_.start_preview(folder(), name));
  EXPECT_FALSE(player_.device_failed());
  EXPECT_EQ(log_.written.size(), 4u);
}

TEST_F(PreviewPlayerTest, ReportsArePostedOntoTheClockAndCountAsBusyUntilHandled) {
  const std::string name = file("a.mid", sound_of(2, 9));
  ASSERT_TRUE(player_.open(1));
  ASSERT_TRUE(player_.start_preview(folder(), name));
  log_.finish_one();
  EXPECT_TRUE(player_.busy());  // the buffer is done but its report is not handled yet
  EXPECT_EQ(dispatch(), 1);
  EXPECT_FALSE(player_.busy());
}

// A report the device posted before the player went away reaches nothing.
TEST_F(PreviewPlayerTest, ReportsLeftOverFromAPlayerThatIsGoneDoNothing) {
  const std::string name = file("a.mid", sound_of(40, 11));
  {
    PreviewPlayer gone(service_, clock_);
    ASSERT_TRUE(gone.open(1));
    ASSERT_TRUE(gone.start_preview(folder(), name));
    log_.finish_one();
  }
  const std::size_t written = log_.written.size();
  EXPECT_GT(dispatch(), 0);
  EXPECT_EQ(log_.written.size(), written);
}

TEST_F(PreviewPlayerTest, CloseStopsClosesAndForgetsTheDevice) {
  const std::string name = file("a.mid", sound_of(40, 10));
  ASSERT_TRUE(player_.open(1));
  ASSERT_TRUE(player_.start_preview(folder(), name));
  const int resets = log_.resets;
  player_.close();
  EXPECT_EQ(log_.resets, resets + 1);
  EXPECT_EQ(log_.closes, 1);
  EXPECT_EQ(player_.device_choice(), 0);
  dispatch();  // reports of the reset arrive after the close: nothing happens
  ASSERT_TRUE(player_.start_preview(folder(), name));
  EXPECT_EQ(log_.written.size(), 2u);
  player_.close();
  EXPECT_EQ(log_.closes, 1);
}

}  // namespace
}  // namespace brisca

namespace brisca {
namespace {

// The play position: buffers reported done, plus the time into the playing one (at most its
// length); reports left over from a stopped preview count for nothing.
TEST_F(PreviewPlayerTest, PlayedSamplesFollowTheBuffersAndTheClock) {
  using namespace std::chrono;
  ASSERT_TRUE(player_.open(1));
  const std::string name = file("s.mid", sound_of(60, 5));
  const auto buffers = expected_buffers(folder() + name);
  ASSERT_GE(buffers.size(), 3u);
  EXPECT_EQ(player_.played_samples(), std::nullopt);  // nothing plays

  ASSERT_TRUE(player_.start_preview(folder(), name));
  const std::uint64_t first = buffers[0].size();
  EXPECT_EQ(*player_.played_samples(), 0u);
  clock_.advance(milliseconds(10));
  EXPECT_EQ(*player_.played_samples(), 441u);
  EXPECT_EQ(*player_.played_samples(clock_.now() + seconds(60)), first);  // no further

  log_.finish_one();
  dispatch();
  EXPECT_EQ(*player_.played_samples(), first);  // the second buffer starts with the report
  EXPECT_EQ(*player_.played_samples(clock_.now() + milliseconds(100)),
            std::min<std::uint64_t>(first + 4410u, first + buffers[1].size()));

  // A new preview starts from 0, whatever reports of the old one are still on their way.
  ASSERT_TRUE(player_.start_preview(folder(), name));
  dispatch();
  clock_.advance(milliseconds(1));
  EXPECT_EQ(*player_.played_samples(), 44u);

  play_to_end();
  EXPECT_EQ(player_.played_samples(), std::nullopt);
}

}  // namespace
}  // namespace brisca
