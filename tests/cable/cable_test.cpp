// The cable test over a loop without devices (tests/cable/fake_loop.h), on a clock the test
// moves one tick at a time, and `briscatool cable` over the same loop.
#include "cable/cable_test.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/cli/midi_commands.h"
#include "app/devices/pace_settings.h"
#include "app/devices/qt_settings_store.h"
#include "common/manual_clock.h"
#include "tests/cable/fake_loop.h"
#include "tests/devices/fake_services.h"

namespace brisca::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

class CableRun : public ::testing::Test, public CableEvents {
 protected:
  void pace_tried(const CablePaceResult& r) override { tried.push_back(r); }
  void finished(const CableOutcome& o) override { outcome = o; }

  // Runs the test to its end, a millisecond at a time: each tick and each report of the input
  // at its own moment.
  void run() {
    ASSERT_TRUE(test.start(1, 1));
    for (int ms = 0; test.running() && ms < 600000; ++ms) {
      ASSERT_EQ(clock.pending_calls(), 1u);  // the tick, and nothing else
      clock.advance(milliseconds(1));
    }
    ASSERT_FALSE(test.running());
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(clock.pending_calls(), 0u);
  }
  Loop& loop() { return *service.loop; }

  LoopService service;
  ManualClock clock;
  CableTest test{service, clock, *this};
  std::vector<CablePaceResult> tried;
  std::optional<CableOutcome> outcome;
};

// A test that starts at a pace of its own goes on to the ladder's slower paces only (one as fast
// is no other chance), fastest first; from the default it is the ladder itself.
TEST(CableLadder, FromAPaceComeTheSlowerOnesFastestFirst) {
  EXPECT_EQ(cable_paces_from(Pace{}), cable_ladder());
  ASSERT_EQ(cable_ladder().size(), 9u);
  EXPECT_EQ(
      cable_paces_from(Pace{100, 70, 500}),
      (std::vector<Pace>{
          {100, 70, 0}, {100, 100, 0}, {100, 140, 0}, {50, 70, 0}, {50, 100, 0}, {50, 140, 0}}));
  EXPECT_EQ(cable_paces_from(Pace{150, 100, 0}), (std::vector<Pace>{{150, 100, 0},
                                                                    {200, 140, 0},
                                                                    {100, 70, 0},
                                                                    {100, 100, 0},
                                                                    {100, 140, 0},
                                                                    {50, 70, 0},
                                                                    {50, 100, 0},
                                                                    {50, 140, 0}}));
  EXPECT_EQ(cable_paces_from(Pace{10, 1000, 0}), (std::vector<Pace>{{10, 1000, 0}}));
  EXPECT_EQ(chunk_pace_text(Pace{100, 140, 0}), "100-byte chunks every 140 ms");
}

TEST_F(CableRun, AHealthyLoopPassesAtTheDefaultPaceAmidRealTimeTraffic) {
  loop().wire = [](const Bytes& chunk) {
    Bytes out(chunk.begin(), chunk.begin() + chunk.size() / 2);
    out.push_back(0xFE);  // active sensing and clock inside a message end nothing
    out.push_back(0xF8);
    out.insert(out.end(), chunk.begin() + chunk.size() / 2, chunk.end());
    return out;
  };
  run();
  ASSERT_EQ(tried.size(), 1u);
  EXPECT_EQ(tried[0].count, (CableCount{10, 10, 0, 0}));
  EXPECT_TRUE(tried[0].passed);
  EXPECT_EQ(outcome->end, CableEnd::Passed);
  ASSERT_TRUE(outcome->found);
  EXPECT_EQ(outcome->found->pace, Pace{});
  // 60 chunks, the first as the test starts and one a tick from the second tick on (the first
  // takes the output's open report): 11 740 bytes in 60 x 70 ms.
  EXPECT_NEAR(outcome->found->bytes_per_second, 11740 / 4.2, 1);
  Bytes sent;
  for (std::uint32_t n = 0; n < 10; ++n) {
    const Bytes m = cable_message(n);
    EXPECT_EQ(m.size(), 1174u);
    sent.insert(sent.end(), m.begin(), m.end());
  }
  EXPECT_EQ(loop().written, sent);
  EXPECT_EQ(*std::max_element(loop().chunk_sizes.begin(), loop().chunk_sizes.end()), 200u);
}

TEST_F(CableRun, ASmallBufferFailsTheBigChunksAndTheFirstPaceThatFitsIsFound) {
  loop().wire = [](const Bytes& chunk) {  // what does not fit in 128 bytes is dropped
    return Bytes(chunk.begin(), chunk.begin() + std::min<std::size_t>(chunk.size(), 128));
  };
  run();
  ASSERT_EQ(tried.size(), 4u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(tried[i].pace.chunk_bytes, 200);
    EXPECT_FALSE(tried[i].passed);
    EXPECT_GT(tried[i].count.damaged, 0);
    EXPECT_LE(tried[i].count.sent, 2) << "a pace goes on after its first damaged message";
  }
  EXPECT_EQ(tried[1].pace.interval_ms, 100);
  EXPECT_EQ(tried[3].count, (CableCount{10, 10, 0, 0}));
  ASSERT_EQ(outcome->end, CableEnd::Passed);
  EXPECT_EQ(outcome->found->pace, (Pace{100, 70, 0}));
  EXPECT_EQ(outcome->text, "Pace found: 100-byte chunks every 70 ms");
}

// Bit 0 of byte 3000 and bit 7 of byte 10 000 on the wire: the first turns a data byte into
// another, the second into a status byte that cuts its message short.
TEST_F(CableRun, NoPaceThatDamagedOrLostAMessagePassesAndLostMessagesCount) {
  auto at = std::make_shared<std::size_t>(0);
  auto chunks = std::make_shared<int>(0);
  loop().wire = [at, chunks](const Bytes& chunk) {
    Bytes out = chunk;
    for (std::uint8_t& byte : out) {
      if (*at == 3000) byte ^= 0x01;
      if (*at == 10000) byte ^= 0x80;
      ++*at;
    }
    if (++*chunks == 61) out.clear();  // the first chunk of the third pace's second message
    return out;
  };
  run();
  ASSERT_EQ(tried.size(), 4u);
  EXPECT_EQ(tried[0].count.damaged, 1);
  EXPECT_EQ(tried[1].count.damaged, 1);
  EXPECT_EQ(tried[2].count.lost, 1);
  EXPECT_EQ(tried[2].count.damaged, 0);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(tried[i].passed);
  ASSERT_EQ(outcome->end, CableEnd::Passed);
  EXPECT_EQ(outcome->found->pace, (Pace{100, 70, 0}));
  EXPECT_EQ(tried[3].count, (CableCount{10, 10, 0, 0}));
}

TEST_F(CableRun, NothingBackEndsWithinSecondsWithTheDevicesClosed) {
  loop().connected = false;
  run();
  EXPECT_EQ(outcome->end, CableEnd::NothingBack);
  EXPECT_EQ(outcome->text, "nothing came back on IN");
  EXPECT_LE(clock.elapsed(), milliseconds(3100));
  EXPECT_TRUE(tried.empty());
  // The message cut short by the end was closed with a lone F7.
  EXPECT_EQ(loop().written.back(), 0xF7);
}

TEST(CableCommand, PrintsEachPaceAndRemembersTheOneFoundForTheOutput) {
  LoopService service;
  MemoryStore store;
  store.values[pace_value_name("Loop Out")] = pace_to_setting(Pace{100, 200, 500});
  std::ostringstream out, err;
  const cli::CableOptions options{"Loop Out", "Loop In", 0, {}};
  ASSERT_EQ(cli::run_cable(service, &store, options, {out, err}, {}), cli::kOk) << err.str();
  const std::string text = out.str();
  EXPECT_NE(text.find("\n200-byte chunks every 70 ms: 10 sent, 10 whole, 0 damaged, 0 lost, "),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Pace found: 200-byte chunks every 70 ms ("), std::string::npos) << text;
  EXPECT_NE(text.find("; remembered for Loop Out"), std::string::npos) << text;
  // The pause between files chosen for the output stays.
  EXPECT_EQ(remembered_pace(&store, "Loop Out"), (Pace{200, 70, 500}));
}

// A pace found that the settings cannot keep fails the command and says why; a port option that
// names no port is a usage error, as the help has it.
TEST(CableCommand, APaceThatCannotBeRememberedFailsAndSaysWhy) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("brisca-cable-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "file") << "x";
  const std::string conf = (dir / "file" / "inside.conf").string();  // its folder is a file
  QtSettingsStore store(QString::fromStdString(conf));
  LoopService service;
  std::ostringstream out, err;
  cli::CableOptions options{"Loop Out", "Loop In", 0, {}};
  EXPECT_EQ(cli::run_cable(service, &store, options, {out, err}, {}), cli::kFailed);
  EXPECT_NE(out.str().find("Pace found: 200-byte chunks every 70 ms ("), std::string::npos);
  EXPECT_EQ(out.str().find("remembered"), std::string::npos) << out.str();
  EXPECT_EQ(err.str(), "briscatool cable: the pace could not be remembered for Loop Out (" + conf +
                           " cannot be written)\n");
  std::filesystem::remove_all(dir);

  MemoryStore memory;
  for (const cli::CableOptions& wrong : {cli::CableOptions{"No Such Out", "Loop In", 0, {}},
                                         cli::CableOptions{"Loop Out", "No Such In", 0, {}}}) {
    std::ostringstream wrong_out, wrong_err;
    EXPECT_EQ(cli::run_cable(service, &memory, wrong, {wrong_out, wrong_err}, {}), cli::kUsage);
    EXPECT_NE(wrong_err.str().find("names no port; the ports are:"), std::string::npos)
        << wrong_err.str();
  }
}

}  // namespace
}  // namespace brisca::test
