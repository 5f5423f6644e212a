// The list model: selection, totals, row states and ids, the directory table and repainting.
#include <gtest/gtest.h>

#include <algorithm>

#include "soundlist/sound_list.h"
#include "tests/support/fake_list.h"
#include "tests/support/fake_listeners.h"

namespace brisca {
namespace {

using test::kSelected;
using test::kSending;
using test::kSent;
using test::marks;

class SoundListTest : public ::testing::Test {
 protected:
  // Rows "a".."e" with 10, 20, 30, 40, 50 blocks.
  void SetUp() override {
    for (int i = 0; i < 5; ++i)
      list.add_row(std::string(1, static_cast<char>('a' + i)), 0, 10 * (i + 1));
  }
  test::Recorder window;
  SoundList list{&window};
  test::FakeList rows{list};
};

TEST_F(SoundListTest, TogglingTwiceRestoresRowAndTotal) {
  list.toggle_select(2);
  EXPECT_EQ(marks(list, 2), kSelected);
  EXPECT_EQ(list.state().selected_blocks, 30);
  EXPECT_EQ(window.total, "  30");
  list.toggle_select(2);
  EXPECT_EQ(marks(list, 2), 0u);
  EXPECT_EQ(list.state().selected_blocks, 0);
  EXPECT_EQ(window.total, "   0");
  EXPECT_EQ(rows.repainted, (std::vector<int>{2, 2}));
}

TEST_F(SoundListTest, ToggleLeavesNoRowAndRowBeingSentAlone) {
  list.toggle_select(-1);
  list.toggle_select(5);
  list.toggle_select(1);
  list.start_sending(1);
  rows.repainted.clear();
  window.totals.clear();
  list.toggle_select(1);
  EXPECT_EQ(marks(list, 1), kSending);
  EXPECT_EQ(list.state().selected_blocks, 20);
  EXPECT_TRUE(window.totals.empty());
  EXPECT_TRUE(rows.repainted.empty());
}

TEST_F(SoundListTest, SelectAllPassesOverTheRowBeingSent) {
  list.toggle_select(4);
  const RowId e = list.start_sending(4);
  list.mark_sent(e);
  list.toggle_select(1);
  list.start_sending(1);
  list.state().current_remaining = 7;
  list.state().selected_blocks = 999;  // select-all recounts from zero
  list.select_all(true);
  EXPECT_EQ(list.state().selected_blocks, 10 + 30 + 40 + 50);
  EXPECT_EQ(marks(list, 1), kSending);
  EXPECT_EQ(marks(list, 4), kSent | kSelected);
  EXPECT_EQ(window.total, " 137");
  EXPECT_EQ(rows.full_repaints, 1);

  list.select_all(false);
  EXPECT_EQ(list.state().selected_blocks, 0);
  EXPECT_EQ(marks(list, 0), 0u);
  EXPECT_EQ(marks(list, 1), kSending);
  EXPECT_EQ(marks(list, 4), kSent);
  EXPECT_EQ(window.total, "   7");
  EXPECT_EQ(list.first_selected(), -1);
}

TEST_F(SoundListTest, TheDownLoadWalksARowThroughItsStatesByItsId) {
  list.toggle_select(4);
  list.toggle_select(3);
  EXPECT_EQ(list.first_selected(), 3);
  EXPECT_EQ(list.selected_count(), 2);
  list.state().animation_counter = 3;
  const RowId d = list.start_sending(3);
  EXPECT_EQ(marks(list, 3), kSending);
  EXPECT_EQ(list.state().animation_counter, 0);
  EXPECT_EQ(list.first_selected(), 4);

  // Rows above it leave: the id still finds it.
  list.toggle_select(0);
  EXPECT_EQ(list.remove_selected(), 2);  // a and e; d is being sent
  EXPECT_EQ(list.remove_at(0), 1);       // b
  ASSERT_EQ(list.index_of(d), 1);
  rows.repainted.clear();
  std::vector<int> frames;
  for (int i = 0; i < 5; ++i) {
    list.animate(d);
    frames.push_back(list.state().animation_counter);
  }
  EXPECT_EQ(frames, (std::vector<int>{1, 2, 3, 0, 1}));
  EXPECT_EQ(marks(list, 1), kSending);

  list.mark_sent(d);
  EXPECT_EQ(marks(list, 1), kSent);
  EXPECT_EQ(rows.repainted, (std::vector<int>(6, 1)));

  list.animate(kNoRow);  // no row: nothing at all
  list.mark_sent(12345);
  EXPECT_EQ(rows.repainted.size(), 6u);
  EXPECT_EQ(list.state().animation_counter, 1);
}

TEST_F(SoundListTest, ARowGivenBackIsSelectedAgainWithItsBlocks) {
  list.toggle_select(2);
  list.state().selected_blocks -= 30;
  const RowId c = list.start_sending(2);
  list.give_back(c);
  EXPECT_EQ(marks(list, 2), kSelected);
  EXPECT_EQ(list.state().selected_blocks, 30);
}

// Ids are never given again, whatever leaves the list; the order by name puts an equal name
// after the others, and the order added is the ids' order.
TEST(SoundListRows, IdsStayWithTheirRowsAndAreNeverReused) {
  SoundList list;
  test::FakeList rows{list};
  EXPECT_EQ(list.add_row("b.mid", 0, 1), 0);
  EXPECT_EQ(list.add_row("A.mid", 0, 2), 0);
  EXPECT_EQ(list.add_row("a.MID", 1, 3), 1);  // after the equal name
  EXPECT_EQ(list.add_row("c.mid", 0, 4), 3);
  EXPECT_EQ(rows.inserted, (std::vector<int>{0, 0, 1, 3}));
  const RowId first = list.row(2).id;
  std::vector<RowId> seen;
  for (int i = 0; i < list.count(); ++i) seen.push_back(list.row(i).id);
  EXPECT_EQ(list.clear_rows(), 4);
  EXPECT_EQ(rows.removed, (std::vector<int>{3, 2, 1, 0}));
  list.add_row("b.mid", 0, 1);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), list.row(0).id), 0);
  EXPECT_EQ(list.index_of(first), -1);

  list.add_row("a.mid", 0, 1);
  list.set_sorted(false);
  EXPECT_EQ(test::names(list), (std::vector<std::string>{"b.mid", "a.mid"}));
  list.add_row("0.mid", 0, 1);
  EXPECT_EQ(test::names(list), (std::vector<std::string>{"b.mid", "a.mid", "0.mid"}));
  list.set_sorted(true);
  EXPECT_EQ(test::names(list), (std::vector<std::string>{"0.mid", "a.mid", "b.mid"}));
  EXPECT_EQ(rows.full_repaints, 3);  // the clearing and the two re-orderings
}

TEST(SoundListRows, LabelShowsNameThreeBlanksAndCount) {
  EXPECT_EQ(row_label(Row{1, 3, "KICK01.MID", 300, true, false, false}), "KICK01.MID   [300]");
  EXPECT_EQ(row_label(Row{2, 0, "empty.mid", 0, false, false, false}), "empty.mid   [0]");
}

TEST(DirectoryTable, EntriesAreFoundExactlyAndTheTableHoldsThirtyTwo) {
  SoundList list;
  EXPECT_EQ(list.add_directory("/a/"), 0);
  EXPECT_EQ(list.add_directory("/b/"), 1);
  EXPECT_EQ(list.add_directory("/a/"), 0);
  EXPECT_EQ(list.add_directory("/A/"), 2);  // case-sensitive
  for (int i = 3; i < SoundList::kMaxDirectories; ++i)
    EXPECT_EQ(list.add_directory("/d" + std::to_string(i) + "/"), i);
  EXPECT_EQ(list.add_directory("/one-more/"), SoundList::kNoDirectory);
  EXPECT_EQ(list.add_directory("/b/"), 1);
  EXPECT_EQ(list.state().directories.size(), 32u);
  EXPECT_EQ(list.directory(0), "/a/");

  int row = list.add_row("x.mid", 1, 5);
  EXPECT_EQ(list.full_path(row), "/b/x.mid");
  list.refresh_total();  // no window: nothing to write, nothing breaks
}

}  // namespace
}  // namespace brisca
