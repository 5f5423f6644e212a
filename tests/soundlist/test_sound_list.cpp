// The list model: selection, totals, row states, the directory table and repainting.
#include <gtest/gtest.h>

#include "soundlist/sound_list.h"
#include "tests/support/fake_list.h"
#include "tests/support/fake_listeners.h"

namespace brisca {
namespace {

std::uint32_t word(int dir, int blocks, std::uint32_t bits = 0) {
  return static_cast<std::uint32_t>(dir) | (static_cast<std::uint32_t>(blocks) << 12) | bits;
}

class SoundListTest : public ::testing::Test {
 protected:
  // Rows "a".."e" with 10, 20, 30, 40, 50 blocks.
  void SetUp() override {
    for (int i = 0; i < 5; ++i) {
      int row = rows.add_row(std::string(1, static_cast<char>('a' + i)));
      rows.set_item_word(row, word(0, 10 * (i + 1)));
    }
  }
  test::FakeList rows;
  test::Recorder window;
  SoundList list{rows, &window};
};

TEST_F(SoundListTest, TogglingTwiceRestoresWordAndTotal) {
  rows.current = 2;
  list.toggle_select_current();
  EXPECT_EQ(rows.item_word(2), word(0, 30, ITEM_SELECTED));
  EXPECT_EQ(list.state().selected_blocks, 30);
  EXPECT_EQ(window.total, "  30");
  list.toggle_select_current();
  EXPECT_EQ(rows.item_word(2), word(0, 30));
  EXPECT_EQ(list.state().selected_blocks, 0);
  EXPECT_EQ(window.total, "   0");
  EXPECT_EQ(rows.repainted, (std::vector<int>{2, 2}));
}

TEST_F(SoundListTest, ToggleLeavesNoCurrentRowAndRowBeingSentAlone) {
  rows.current = -1;
  list.toggle_select_current();
  rows.current = 1;
  rows.set_item_word(1, word(0, 20, ITEM_SENDING));
  list.toggle_select_current();
  EXPECT_EQ(rows.item_word(1), word(0, 20, ITEM_SENDING));
  EXPECT_EQ(list.state().selected_blocks, 0);
  EXPECT_TRUE(window.totals.empty());
  EXPECT_TRUE(rows.repainted.empty());
}

TEST_F(SoundListTest, SelectAllPassesOverTheRowBeingSent) {
  rows.set_item_word(1, word(0, 20, ITEM_SENDING));
  rows.set_item_word(4, word(0, 50, ITEM_SENT));
  list.state().current_remaining = 7;
  list.state().selected_blocks = 999;  // select-all recounts from zero
  list.select_all(true);
  EXPECT_EQ(list.state().selected_blocks, 10 + 30 + 40 + 50);
  EXPECT_EQ(rows.item_word(1), word(0, 20, ITEM_SENDING));
  EXPECT_EQ(rows.item_word(4), word(0, 50, ITEM_SENT | ITEM_SELECTED));
  EXPECT_EQ(window.total, " 137");
  EXPECT_EQ(rows.full_repaints, 1);

  list.select_all(false);
  EXPECT_EQ(list.state().selected_blocks, 0);
  EXPECT_EQ(rows.item_word(0), word(0, 10));
  EXPECT_EQ(rows.item_word(1), word(0, 20, ITEM_SENDING));
  EXPECT_EQ(rows.item_word(4), word(0, 50, ITEM_SENT));
  EXPECT_EQ(window.total, "   7");
}

TEST_F(SoundListTest, MarkItemWalksARowThroughItsStates) {
  rows.set_item_word(3, word(2, 40, ITEM_SELECTED));
  list.state().animation_counter = 3;
  list.mark_item(3, 1);
  EXPECT_EQ(rows.item_word(3), word(2, 40, ITEM_SENDING));
  EXPECT_EQ(list.state().animation_counter, 0);
  EXPECT_EQ(list.find_first_item(ITEM_SENDING), 3);
  EXPECT_EQ(list.find_first_item(ITEM_SELECTED), -1);

  std::vector<int> frames;
  for (int i = 0; i < 5; ++i) {
    list.mark_item(3, 2);
    frames.push_back(list.state().animation_counter);
  }
  EXPECT_EQ(frames, (std::vector<int>{1, 2, 3, 0, 1}));
  EXPECT_EQ(rows.item_word(3), word(2, 40, ITEM_SENDING));

  list.mark_item(3, 0);
  EXPECT_EQ(rows.item_word(3), word(2, 40, ITEM_SENT));
  EXPECT_EQ(rows.repainted.size(), 7u);

  list.mark_item(-1, 1);  // no row: nothing at all
  EXPECT_EQ(rows.repainted.size(), 7u);
}

TEST_F(SoundListTest, FindFirstItemSearchesFromTheTop) {
  rows.set_item_word(4, word(0, 50, ITEM_SELECTED));
  rows.set_item_word(2, word(0, 30, ITEM_SELECTED));
  EXPECT_EQ(list.find_first_item(ITEM_SELECTED), 2);
  EXPECT_EQ(list.find_first_item(ITEM_SELECTED | ITEM_SENT), 2);
  EXPECT_EQ(list.find_first_item(ITEM_SENT), -1);
}

TEST(SoundListRows, ScrolledOutRowsChangeButAreNotRepainted) {
  test::FakeList rows;
  test::Recorder window;
  SoundList list{rows, &window};
  for (int i = 0; i < 40; ++i) {
    int row = rows.add_row("row" + std::to_string(100 + i));
    rows.set_item_word(row, word(0, 1));
  }
  rows.top = 10;
  // 215 pixels of 14-pixel rows: rows 10..25 start inside the list.
  EXPECT_FALSE(list.row_rect(9));
  auto first = list.row_rect(10);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->left, 10);
  EXPECT_EQ(first->top, 50);
  EXPECT_EQ(first->right, 337);
  EXPECT_EQ(first->bottom, 64);
  auto last = list.row_rect(25);
  ASSERT_TRUE(last);
  EXPECT_EQ(last->top, 50 + 15 * 14);
  EXPECT_FALSE(list.row_rect(26));

  rows.current = 3;
  list.toggle_select_current();
  list.mark_item(30, 1);
  EXPECT_EQ(rows.item_word(3), word(0, 1, ITEM_SELECTED));
  EXPECT_EQ(rows.item_word(30), word(0, 1, ITEM_SENDING));
  EXPECT_TRUE(rows.repainted.empty());
  EXPECT_EQ(window.total, "   1");
}

TEST(SoundListRows, LabelShowsNameThreeBlanksAndCount) {
  EXPECT_EQ(row_label("KICK01.MID", word(3, 300, ITEM_SELECTED)), "KICK01.MID   [300]");
  EXPECT_EQ(row_label("empty.mid", word(0, 0)), "empty.mid   [0]");
}

TEST(DirectoryTable, EntriesAreFoundExactlyAndTheTableHoldsThirtyTwo) {
  test::FakeList rows;
  SoundList list{rows, nullptr};
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

  int row = rows.add_row("x.mid");
  rows.set_item_word(row, word(1, 5));
  EXPECT_EQ(list.full_path(row), "/b/x.mid");
  list.refresh_total();  // no window: nothing to write, nothing breaks
}

}  // namespace
}  // namespace brisca
