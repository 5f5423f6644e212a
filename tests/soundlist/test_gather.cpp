// Gathering sound files: the three command-line forms, folders, patterns, bad files and the
// limits of the directory table.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "soundlist/gather.h"
#include "tests/support/fake_list.h"
#include "tests/support/fake_listeners.h"
#include "tests/support/sound_files.h"

namespace brisca {
namespace {

using test::TempDir;

class GatherTest : public ::testing::Test {
 protected:
  std::vector<std::string> texts() const { return test::names(list); }
  int blocks(int row) const { return list.row(row).blocks; }
  int dir(int row) const { return list.row(row).dir; }
  void add_text(std::string_view text) { Gatherer(list).add_file_list(text); }

  TempDir tmp;
  test::Recorder window;
  SoundList list{&window};
};

TEST(SplitPath, CutsAfterTheLastSeparator) {
  EXPECT_EQ(split_path("/a/b/c.mid").directory, "/a/b/");
  EXPECT_EQ(split_path("/a/b/c.mid").name, "c.mid");
  EXPECT_EQ(split_path("c.mid").directory, "");
  EXPECT_EQ(split_path("c.mid").name, "c.mid");
  EXPECT_EQ(split_path("/a/").name, "");
}

TEST_F(GatherTest, TwoPathsInOneFolderShareOneDirectoryEntry) {
  test::write_sound(tmp / "b.mid", 12);
  test::write_sound(tmp / "A.mid", 300);
  add_text("  " + (tmp / "b.mid") + "   " + (tmp / "A.mid") + " ");
  EXPECT_EQ(texts(), (std::vector<std::string>{"A.mid", "b.mid"}));
  EXPECT_EQ(blocks(0), 300);
  EXPECT_EQ(blocks(1), 12);
  EXPECT_EQ(dir(0), 0);
  EXPECT_EQ(dir(1), 0);
  EXPECT_EQ(list.state().directories, (std::vector<std::string>{tmp.path() + "/"}));
  EXPECT_EQ(test::marks(list, 0), 0u);
  EXPECT_TRUE(window.boxes.empty());
}

TEST_F(GatherTest, AQuotedPathMayHoldBlanksAnUnquotedOneMayNot) {
  std::string folder = tmp.make_folder("my sounds");
  test::write_sound(folder + "/big kick.mid", 4);
  add_text(folder + "/big kick.mid");  // read as two paths, neither exists
  EXPECT_EQ(list.count(), 0);
  add_text("\"" + folder + "/big kick.mid\"");
  ASSERT_EQ(texts(), (std::vector<std::string>{"big kick.mid"}));
  EXPECT_EQ(list.directory(dir(0)), folder + "/");
  EXPECT_TRUE(window.boxes.empty());
}

TEST_F(GatherTest, MultiFileFormAddsEachNameUnderOneEntry) {
  for (const char* name : {"c.mid", "a.mid", "b.mid"}) test::write_sound(tmp / name, 3);
  std::string text = std::string("*") + tmp.path() + '\0' + "c.mid" + '\0' + "a.mid" + '\0' +
                     "b.mid" + '\0' + '\0';
  add_text(text);
  EXPECT_EQ(texts(), (std::vector<std::string>{"a.mid", "b.mid", "c.mid"}));
  EXPECT_EQ(list.state().directories.size(), 1u);

  // With a single name the rest is one full path.
  test::write_sound(tmp.make_folder("one") + "/d.mid", 9);
  std::string one(1, '*');  // built by appending: GCC 12 -O3 warns falsely on "*" + string
  one += tmp / "one/d.mid";
  one.append(2, '\0');
  add_text(one);
  ASSERT_EQ(list.count(), 4);
  EXPECT_EQ(list.row(3).name, "d.mid");
  EXPECT_EQ(list.full_path(3), tmp / "one/d.mid");
}

TEST_F(GatherTest, FolderAddsEveryFileButNotItsSubFoldersNorTemporaryFiles) {
  std::string folder = tmp.make_folder("kit");
  test::write_sound(folder + "/snare.mid", 5);
  test::write_sound(folder + "/noext", 6);
  test::write_sound(folder + "/.hidden.syx", 7);
  test::write_sound(tmp.make_folder("kit/sub") + "/deep.mid", 8);
  // What an interrupted write left is no sound of the folder.
  test::write_sound(folder + "/snare.mid.tmpX1b2C3", 5);
  Gatherer(list).add_paths({folder + "/"});
  EXPECT_EQ(texts(), (std::vector<std::string>{".hidden.syx", "noext", "snare.mid"}));
  EXPECT_EQ(list.state().directories, (std::vector<std::string>{folder + "/"}));
  EXPECT_EQ(blocks(2), 5);
  EXPECT_TRUE(window.boxes.empty());
}

TEST_F(GatherTest, FailuresOfOneGatheringComeInOneBoxAndForeignFilesOfAFolderAreQuiet) {
  std::string folder = tmp.make_folder("mixed");
  test::write_text(folder + "/readme.txt", "not a sound file at all, just text");
  test::write_text(folder + "/cover.png", "\x89PNG\r\n");
  test::write_text(folder + "/empty.mid", "");
  test::write_format1(folder + "/format1.mid");
  test::write_bad_track(folder + "/badtrack.mid");
  test::write_text(folder + "/short.mid", "MTh");
  test::write_sound(folder + "/good.mid", 2);
  add_arguments(list, {folder});
  EXPECT_EQ(texts(), (std::vector<std::string>{"good.mid"}));
  ASSERT_EQ(window.boxes.size(), 1u);
  // Folders are scanned in name order.
  EXPECT_EQ(window.boxes[0].caption, "Files not added");
  EXPECT_EQ(window.boxes[0].text,
            "These were not added:\n\nbadtrack.mid: Bad track!\nempty.mid: Bad MIDI file!\n"
            "format1.mid: Not format 0!\nshort.mid: Bad MIDI file!");
  EXPECT_EQ(window.boxes[0].kind, Notice::Kind::Warning);

  // Named by itself, a file that is no MIDI file at all is a failure, alone in its own box.
  add_arguments(list, {folder + "/readme.txt", folder + "/good.mid"});
  ASSERT_EQ(window.boxes.size(), 2u);
  EXPECT_EQ(window.boxes[1].caption, "readme.txt");
  EXPECT_EQ(window.boxes[1].text, "Bad MIDI file!");

  // Many failures are listed up to twenty, the rest counted.
  std::vector<std::string> bad;
  for (int i = 0; i < 23; ++i) {
    bad.push_back(tmp / ("bad" + std::to_string(i + 10) + ".mid"));
    test::write_format1(bad.back());
  }
  add_arguments(list, bad);
  ASSERT_EQ(window.boxes.size(), 3u);
  EXPECT_NE(window.boxes[2].text.find("bad29.mid: Not format 0!\n... and 3 more"),
            std::string::npos)
      << window.boxes[2].text;
  EXPECT_EQ(list.count(), 1);  // good.mid, named twice, is listed once
}

TEST_F(GatherTest, BlockCountsFromHeaderOrFromOtherMessages) {
  test::write_sound(tmp / "header.mid", 1234);
  test::write_other_sysex(tmp / "other.mid", 3);
  test::write_other_sysex(tmp / "none.mid", 0);
  Gatherer gather(list);
  gather.add_paths({tmp / "header.mid", tmp / "other.mid", tmp / "none.mid", tmp / "none.mid"});
  // The second none.mid is the same file: listed once.
  EXPECT_EQ(texts(), (std::vector<std::string>{"header.mid", "none.mid", "other.mid"}));
  EXPECT_EQ(blocks(0), 1234);
  EXPECT_EQ(blocks(1), 0);
  EXPECT_EQ(blocks(2), 3);
}

TEST_F(GatherTest, PatternsAddTheirFirstMatchAndMissingPathsAreSilent) {
  test::write_sound(tmp / "k2.mid", 2);
  test::write_sound(tmp / "k1.mid", 1);
  test::write_sound(tmp / "s1.mid", 1);
  add_arguments(list, {tmp / "k*.mid", tmp / "nothing*.mid", tmp / "missing.mid", ""});
  EXPECT_EQ(texts(), (std::vector<std::string>{"k1.mid"}));
  EXPECT_TRUE(window.boxes.empty());

  // A pattern whose first match is a folder adds that folder's files.
  test::write_sound(tmp.make_folder("zz-folder") + "/in.mid", 1);
  add_arguments(list, {tmp / "zz-*"});
  EXPECT_EQ(texts(), (std::vector<std::string>{"in.mid", "k1.mid"}));
  EXPECT_EQ(list.full_path(0), tmp / "zz-folder/in.mid");
}

TEST_F(GatherTest, FullDirectoryTableRefusesFurtherFoldersOnce) {
  for (int i = 0; i < SoundList::kMaxDirectories; ++i)
    list.add_directory("/taken/" + std::to_string(i) + "/");
  std::string folder = tmp.make_folder("late");
  test::write_sound(folder + "/a.mid", 1);
  test::write_sound(folder + "/b.mid", 1);
  Gatherer gather(list);
  gather.add_paths({folder + "/a.mid", folder + "/b.mid", folder});
  gather.add_file_list(FileChoice{folder, {"a.mid"}});
  EXPECT_EQ(list.count(), 0);
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].caption, "Too many folders");
  EXPECT_NE(window.boxes[0].text.find(folder + "/"), std::string::npos);
  EXPECT_EQ(list.state().directories.size(), 32u);

  // Files of a folder already in the table still come in.
  list.state().directories[5] = folder + "/";
  gather.add_paths({folder + "/b.mid"});
  ASSERT_EQ(list.count(), 1);
  EXPECT_EQ(dir(0), 5);
}

TEST_F(GatherTest, SpecialFilesInAFolderAreNotOpened) {
  std::string folder = tmp.make_folder("fifo");
  ASSERT_EQ(mkfifo((folder + "/pipe.mid").c_str(), 0600), 0);
  test::write_sound(folder + "/ok.mid", 1);
  add_arguments(list, {folder, folder + "/pipe.mid"});  // would block if opened
  EXPECT_EQ(texts(), (std::vector<std::string>{"ok.mid"}));
}

TEST_F(GatherTest, LongPathsWorkOrAreRefusedWithABox) {
  std::string deep = tmp.path();
  for (int i = 0; i < 6; ++i) deep += "/" + std::string(60, static_cast<char>('a' + i));
  std::filesystem::create_directories(deep);
  test::write_sound(deep + "/long.mid", 11);
  add_arguments(list, {deep + "/long.mid"});
  ASSERT_EQ(list.count(), 1);
  EXPECT_EQ(list.full_path(0), deep + "/long.mid");

  std::string too_long = tmp / (std::string(300, 'x') + ".mid");
  add_arguments(list, {too_long});
  Gatherer(list).add_file_list(FileChoice{tmp.path(), {std::string(300, 'y')}});
  EXPECT_EQ(list.count(), 1);
  ASSERT_EQ(window.boxes.size(), 2u);
  EXPECT_EQ(window.boxes[0].caption, "Path too long");
  EXPECT_EQ(window.boxes[1].caption, "Path too long");
}

}  // namespace
}  // namespace brisca

// Rows are removed and files listed once, with "Total Blocks" always selected + remaining.
namespace brisca {
namespace {

TEST_F(GatherTest, FilesAreListedOnceAndRemovalKeepsTheTotalTrue) {
  test::write_sound(tmp / "a.mid", 10);
  test::write_sound(tmp / "b.mid", 20);
  test::write_sound(tmp / "c.mid", 30);
  std::filesystem::create_symlink(tmp / "a.mid", tmp.make_folder("sub") + "/link.mid");
  add_text(tmp.path());
  add_text(tmp.path() + "/./b.mid " + tmp.path() + "/sub/link.mid " + tmp.path());
  ASSERT_EQ(texts(), (std::vector<std::string>{"a.mid", "b.mid", "c.mid"}));
  auto total = [&] { return window.total; };

  list.select_all(true);  // 60
  // b goes out as the down-load takes it.
  list.state().current_remaining = 20;
  list.state().selected_blocks -= 20;
  const RowId b = list.start_sending(1);
  EXPECT_EQ(list.remove_at(1), 0);  // the row being sent stays
  EXPECT_EQ(list.remove_at(2), 1);  // c, selected
  EXPECT_EQ(list.state().selected_blocks, 10);
  EXPECT_EQ(total(), "  30");
  EXPECT_EQ(list.remove_selected(), 1);  // a
  EXPECT_EQ(texts(), (std::vector<std::string>{"b.mid"}));
  EXPECT_EQ(total(), "  20");
  EXPECT_EQ(list.clear_rows(), 0);

  // Removed files may come back, and only once each.
  add_text(tmp.path());
  EXPECT_EQ(texts(), (std::vector<std::string>{"a.mid", "b.mid", "c.mid"}));
  list.mark_sent(b);
  list.state().current_remaining = 0;
  list.select_all(true);
  EXPECT_EQ(total(), "  60");
  EXPECT_EQ(list.clear_rows(), 3);
  EXPECT_EQ(total(), "   0");
  EXPECT_EQ(list.state().selected_blocks, 0);
  add_text(tmp.path() + "/sub/link.mid " + tmp.path() + "/a.mid");
  EXPECT_EQ(texts(), (std::vector<std::string>{"link.mid"}));
}

}  // namespace
}  // namespace brisca
