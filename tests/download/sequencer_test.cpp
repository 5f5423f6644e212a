#include <gtest/gtest.h>

#include <algorithm>

#include "tests/download/download_fixture.h"

namespace brisca::test {
namespace {

using Sequencer = DownloadTest;

TEST_F(Sequencer, SplitsMessagesIntoChunksOfAtMost200Bytes) {
  const std::vector<std::size_t> lengths = {200, 201, 400, 5};
  std::vector<Bytes> messages;
  for (std::size_t i = 0; i < lengths.size(); ++i) messages.push_back(sysex(lengths[i], int(i)));
  add_file("a.mid", messages, 4);
  select("a.mid");
  download.send_files();
  run_to_idle();

  const auto& chunks = service.log->chunks;
  ASSERT_EQ(chunks.size(), 6u);
  std::vector<std::size_t> sizes;
  for (const auto& c : chunks) sizes.push_back(c.size());
  EXPECT_EQ(sizes, (std::vector<std::size_t>{200, 200, 1, 200, 200, 5}));
  EXPECT_EQ(chunks[0], messages[0]);
  EXPECT_EQ(chunks[2].front(), 0xF7);  // the 201st byte alone
  EXPECT_EQ(chunks[3].front(), 0xF0);
  EXPECT_EQ(chunks[4].back(), 0xF7);
  Bytes expected;
  for (const auto& m : messages) expected.insert(expected.end(), m.begin(), m.end());
  EXPECT_EQ(sent_bytes(), expected);
  EXPECT_TRUE(word("a.mid") & test::kSent);
  EXPECT_FALSE(timer_running());
}

TEST_F(Sequencer, FullBlocksGoOutWholeIn200ByteChunks) {
  UnpackedBlock data{};
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 13);
  const std::vector<Bytes> messages{make_header_block("Full", "DRUM", 2), make_block(1, data)};
  add_file("full.mid", messages, 2);
  select("full.mid");
  download.send_files();
  run_to_idle();
  std::vector<std::size_t> sizes;
  for (const auto& c : service.log->chunks) sizes.push_back(c.size());
  EXPECT_EQ(sizes,
            (std::vector<std::size_t>{200, 200, 200, 200, 200, 174, 200, 200, 200, 200, 200, 174}));
  Bytes expected = messages[0];
  expected.insert(expected.end(), messages[1].begin(), messages[1].end());
  EXPECT_EQ(sent_bytes(), expected);
  EXPECT_TRUE(word("full.mid") & test::kSent);
}

TEST_F(Sequencer, OneChunkPerTickOnceTheDeviceReportsItDone) {
  add_file("a.mid", {sysex(600)}, 1);
  select("a.mid");
  download.send_files();
  EXPECT_EQ(service.log->chunks.size(), 1u);
  clock.advance(std::chrono::milliseconds(70));  // takes the open report
  EXPECT_EQ(service.log->chunks.size(), 1u);
  clock.advance(std::chrono::milliseconds(70));  // nothing reported yet
  EXPECT_EQ(service.log->chunks.size(), 1u);
  service.complete();
  MidiHeader foreign;
  service.log->listener->done(foreign);  // a report naming no header of the port
  clock.advance(std::chrono::milliseconds(69));
  EXPECT_EQ(service.log->chunks.size(), 1u);  // the tick is 70 ms
  clock.advance(std::chrono::milliseconds(1));
  EXPECT_EQ(service.log->chunks.size(), 2u);
  clock.advance(std::chrono::milliseconds(70));
  EXPECT_EQ(service.log->chunks.size(), 2u);
}

TEST_F(Sequencer, SendsSelectedRowsTopToBottomEachSendingThenSent) {
  for (const char* name : {"a.mid", "b.mid", "c.mid"}) add_file(name, {sysex(300), sysex(50)}, 2);
  add_file("d.mid", {sysex(10)}, 1);  // not selected
  select("c.mid");
  select("a.mid");
  select("b.mid");
  rows.changes.clear();
  download.send_files();
  run_to_idle();

  std::vector<int> started;
  std::map<int, std::vector<unsigned>> marks;
  for (auto [row, m] : rows.changes) {
    if (!marks[row].empty() && marks[row].back() == m) continue;  // a frame of the animation
    marks[row].push_back(m);
    if (m & kSending) started.push_back(row);
  }
  EXPECT_EQ(started, (std::vector<int>{0, 1, 2}));
  for (int row = 0; row < 3; ++row)
    EXPECT_EQ(marks[row], (std::vector<unsigned>{kSending, kSent})) << row;
  EXPECT_EQ(word("d.mid") & (test::kSending | test::kSent), 0u);
  EXPECT_EQ(service.log->chunks.size(), 9u);
  // The listener hears each message started, each file sent (rows named by their ids) and a
  // time left that only falls.
  const RowId a = list.row(row_of("a.mid")).id, b = list.row(row_of("b.mid")).id,
              c = list.row(row_of("c.mid")).id;
  EXPECT_EQ(
      heard.progress_log,
      (std::vector<Progress>{{a, 1, 2}, {a, 2, 2}, {b, 1, 2}, {b, 2, 2}, {c, 1, 2}, {c, 2, 2}}));
  EXPECT_EQ(heard.sent, (std::vector<RowId>{a, b, c}));
  ASSERT_FALSE(heard.left.empty());
  EXPECT_TRUE(std::is_sorted(heard.left.rbegin(), heard.left.rend()));
  ASSERT_EQ(heard.ends.size(), 1u);
  EXPECT_EQ(heard.ends[0].sounds, 3);
  EXPECT_EQ(heard.ends[0].blocks, 6);
}

TEST_F(Sequencer, AFileWithoutSystemExclusiveIsSentAtOnceAndTheNextFollows) {
  add_file("a.mid", {}, 0);
  add_file("b.mid", {sysex(20)}, 1);
  select("a.mid");
  select("b.mid");
  download.send_files();
  EXPECT_TRUE(word("a.mid") & test::kSent);
  EXPECT_TRUE(service.log->chunks.empty());
  EXPECT_FALSE(download.is_sending());
  EXPECT_TRUE(download.sequencer().is_busy());  // b starts once this step has returned
  handle_posted();
  EXPECT_TRUE(word("b.mid") & test::kSending);
  run_to_idle();
  EXPECT_TRUE(word("b.mid") & test::kSent);
}

TEST_F(Sequencer, StopAnsweredYesFinishesTheCurrentFileAndKeepsTheRestSelected) {
  for (const char* name : {"a.mid", "b.mid", "c.mid"}) add_file(name, {sysex(450)}, 1);
  for (const char* name : {"a.mid", "b.mid", "c.mid"}) select(name);
  stop();
  EXPECT_TRUE(heard.boxes.empty());  // nothing is being sent: no question

  download.send_files();
  while (!(word("b.mid") & test::kSending)) tick();
  tick();  // b's second chunk
  answer = true;
  stop();
  ASSERT_EQ(heard.boxes.size(), 1u);
  EXPECT_EQ(heard.boxes[0], question("Stop down-load at next sound?", "Stop"));
  run_to_idle();
  EXPECT_TRUE(word("b.mid") & test::kSent);
  EXPECT_EQ(word("c.mid") & (test::kSelected | test::kSending | test::kSent), test::kSelected);
  EXPECT_EQ(service.log->chunks.size(), 6u);

  download.send_files();
  run_to_idle();
  EXPECT_TRUE(word("c.mid") & test::kSent);
  EXPECT_EQ(service.log->chunks.size(), 9u);
}

TEST_F(Sequencer, StopAnsweredNoChangesNothing) {
  add_file("a.mid", {sysex(300)}, 1);
  add_file("b.mid", {sysex(300)}, 1);
  select("a.mid");
  select("b.mid");
  download.send_files();
  answer = false;
  stop();
  run_to_idle();
  EXPECT_TRUE(word("b.mid") & test::kSent);
}

TEST_F(Sequencer, TotalBlocksCountsDownByEachMessageStarted) {
  add_file("a.mid", {sysex(10), sysex(10), sysex(10)}, 3);
  add_file("b.mid", {sysex(10), sysex(10)}, 2);
  add_file("c.mid", {sysex(10)}, 7);  // selected after the start
  select("a.mid");
  select("b.mid");
  heard.totals.clear();
  download.send_files();
  tick();
  select("c.mid");  // "   11" = 2 left in a + b's 2 + c's 7
  run_to_idle();
  const std::vector<std::string>& totals = heard.totals;
  // c's row counts 7 blocks but holds one message: the figure follows the row's count while c
  // is sent, and once c has ended it is the selected rows' sum again, 0.
  EXPECT_EQ(totals, (std::vector<std::string>{"   4", "  11", "  10", "   9", "   8", "   7",
                                              "   6", "   0"}));
}

TEST_F(Sequencer, FilesThatFailToOpenStopTheChainWithTheRowSelected) {
  add_row("gone.mid", 3);  // no file behind the row
  select("gone.mid");
  download.send_files();
  EXPECT_TRUE(heard.boxes.empty());
  EXPECT_FALSE(timer_running());
  EXPECT_EQ(word("gone.mid") & (test::kSelected | test::kSending), test::kSelected);

  select("gone.mid");
  std::filesystem::create_directories(folder);
  ASSERT_TRUE(write_file((folder / "bad.mid").string(), Bytes{'n', 'o', 't', ' ', 'M', 'I', 'D'}));
  add_row("bad.mid", 1);
  select("bad.mid");
  download.send_files();
  ASSERT_EQ(heard.boxes.size(), 1u);
  EXPECT_EQ(heard.boxes[0], warning("Bad MIDI file!", "bad.mid"));
  EXPECT_FALSE(timer_running());
  EXPECT_FALSE(download.sequencer().state().file.has_value());
  EXPECT_EQ(word("bad.mid") & (test::kSelected | test::kSending), test::kSelected);
}

TEST_F(Sequencer, SendWhileSendingOnlyTurnsContinueBackOn) {
  add_file("a.mid", {sysex(300)}, 1);
  add_file("b.mid", {sysex(300)}, 1);
  select("a.mid");
  select("b.mid");
  download.send_files();
  answer = true;
  stop();
  download.send_files();
  EXPECT_EQ(service.log->chunks.size(), 1u);
  run_to_idle();
  EXPECT_TRUE(word("b.mid") & test::kSent);
}

}  // namespace
}  // namespace brisca::test
