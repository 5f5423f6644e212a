// Kits as playlists: reading the entries of M3U text, writing a list as a playlist and reading
// it back from elsewhere, and gathering a playlist's sounds in its order with what could not be
// added told in one box.
#include <gtest/gtest.h>

#include <filesystem>

#include "soundlist/gather.h"
#include "soundlist/playlist.h"
#include "tests/support/fake_list.h"
#include "tests/support/fake_listeners.h"
#include "tests/support/sound_files.h"

namespace brisca {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::vector<std::string> paths_of(const Playlist& playlist) {
  std::vector<std::string> out;
  for (const PlaylistEntry& e : playlist.entries) out.push_back(e.path);
  return out;
}

TEST(Playlist, ReadsEntriesOfEveryLineEndAndSkipsComments) {
  const Playlist p = parse_playlist(
      "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:2,Kick\r\n  kick.mid \r\n\r\nsub/./snare.mid\rold mac.mid\r"
      "/abs/tom.mid\nfile:///abs/clap%20hit.mid\nfile://localhost/abs/%23hat.mid\n"
      "http://example.com/ride.mid\nfile://elsewhere/crash.mid\nlast.mid",
      "/kit");
  EXPECT_EQ(paths_of(p),
            (std::vector<std::string>{"/kit/kick.mid", "/kit/sub/snare.mid", "/kit/old mac.mid",
                                      "/abs/tom.mid", "/abs/clap hit.mid", "/abs/#hat.mid",
                                      "/kit/last.mid"}));
  EXPECT_EQ(p.entries[0].line, 3u);
  EXPECT_EQ(p.entries.back().line, 12u);
  EXPECT_EQ(p.problems,
            (std::vector<std::string>{
                "line 10: http://example.com/ride.mid is not a local file",
                "line 11: file://elsewhere/crash.mid is not a file URL of this machine"}));
  // Without a folder, relative entries stay relative (to the current folder).
  EXPECT_EQ(paths_of(parse_playlist("./a.mid\n", "")), std::vector<std::string>{"a.mid"});
  EXPECT_TRUE(is_playlist_name("/x/Kit.M3U"));
  EXPECT_TRUE(is_playlist_name("kit.m3u8"));
  EXPECT_FALSE(is_playlist_name("kit.m3u.mid"));
}

TEST(Playlist, WritesRelativeLinesUnderItsFolderAndReadsBackWhatItWrote) {
  TempDir tmp;
  const std::string kit = tmp.make_folder("kit");
  const std::vector<std::string> paths{kit + "/b kick.mid",       kit + "/sub/../snare.mid",
                                       tmp / "elsewhere/tom.mid", kit + "/#hash.mid",
                                       kit + "/ends in blank ",   kit + "/line\nbreak.mid"};
  const std::string text = playlist_text(paths, kit + "/kit.m3u");
  EXPECT_EQ(text.substr(0, text.find("file://")),
            "#EXTM3U\nb kick.mid\nsnare.mid\n" + (tmp / "elsewhere/tom.mid") + "\n./#hash.mid\n");
  ASSERT_TRUE(write_playlist(kit + "/kit.m3u", paths));
  const Result<Playlist> read = read_playlist(kit + "/kit.m3u");
  ASSERT_TRUE(read.ok()) << read.message();
  EXPECT_TRUE(read->problems.empty());
  EXPECT_EQ(paths_of(*read),
            (std::vector<std::string>{kit + "/b kick.mid", kit + "/snare.mid",
                                      tmp / "elsewhere/tom.mid", kit + "/#hash.mid",
                                      kit + "/ends in blank ", kit + "/line\nbreak.mid"}));

  // A playlist of binary bytes, and one that cannot be read, say why.
  test::write_sound(tmp / "binary.m3u", 3);
  EXPECT_EQ(read_playlist(tmp / "binary.m3u").error(),
            make_error(ErrorCode::BadFile, "holds binary data, not a playlist of text lines"));
  EXPECT_EQ(read_playlist(tmp / "gone.m3u").error(),
            make_error(ErrorCode::NotFound, "cannot be read (No such file or directory)"));
  EXPECT_EQ(read_playlist(kit).message(), "is not a file");
}

class PlaylistGatherTest : public ::testing::Test {
 protected:
  std::vector<std::string> texts() const { return test::names(list); }
  TempDir tmp;
  test::Recorder window;
  SoundList list{&window};
};

TEST_F(PlaylistGatherTest, AddsTheListedSoundsInOrderAndTellsWhatWasNotAdded) {
  list.set_sorted(false);
  const std::string kit = tmp.make_folder("kit");
  const std::string other = tmp.make_folder("other");
  test::write_sound(kit + "/snare.mid", 3);
  test::write_sound(kit + "/kick.mid", 3);
  test::write_sound(other + "/tom.mid", 3);
  test::write_text(kit + "/notes.txt", "not a sound");
  test::write_text(kit + "/inner.m3u", "kick.mid\n");
  test::write_text(kit + "/kit.m3u",
                   "#EXTM3U\nsnare.mid\n../other/tom.mid\nmissing.mid\nnotes.txt\nkick.mid\n"
                   "inner.m3u\nhttp://x/y.mid\n");
  Gatherer gather(list);
  gather.add_path(kit + "/kit.m3u");
  EXPECT_EQ(texts(), (std::vector<std::string>{"snare.mid", "tom.mid", "kick.mid"}));
  EXPECT_EQ(list.full_path(1), other + "/tom.mid");
  EXPECT_EQ(gather.playlists(), std::vector<std::string>{kit + "/kit.m3u"});
  // One box for everything that was not added.
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].caption, "Files not added");
  const std::string& text = window.boxes[0].text;
  EXPECT_NE(text.find("kit.m3u, line 8: http://x/y.mid is not a local file"), std::string::npos);
  EXPECT_NE(text.find(kit + "/missing.mid: no such file"), std::string::npos);
  EXPECT_NE(text.find("notes.txt: "), std::string::npos);
  EXPECT_NE(text.find("inner.m3u: a playlist inside a playlist is not followed"),
            std::string::npos);

  // A playlist that cannot be read is told by its name.
  window.boxes.clear();
  test::write_sound(kit + "/bad.m3u", 3);
  EXPECT_FALSE(Gatherer(list).add_playlist(kit + "/bad.m3u"));
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].caption, "bad.m3u");
  EXPECT_EQ(window.boxes[0].text,
            "The playlist holds binary data, not a playlist of text lines:\n" + kit + "/bad.m3u");
}

// A folder entry gives its sounds in the list's order, a file listed again is taken once at its
// first place, a missing entry is named; the kit's notes always go to the "Files not added" box,
// and a playlist giving no sound is named there too.
TEST_F(PlaylistGatherTest, AKitTakesFoldersInOrderEachFileOnceAndNamesWhatItSkips) {
  list.set_sorted(false);
  const std::string kit = tmp.make_folder("kit");
  const std::string toms = tmp.make_folder("kit/toms");
  for (const char* name : {"/hat.mid", "/kick.mid"}) test::write_sound(kit + name, 3);
  for (const char* name : {"/B tom.mid", "/a tom.mid"}) test::write_sound(toms + name, 3);
  test::write_text(toms + "/readme.txt", "not a sound");
  test::write_text(toms + "/toms.m3u", "a tom.mid\n");
  test::write_text(kit + "/kit.m3u", "hat.mid\ntoms\nkick.mid\nhat.mid\ngone.mid\n./hat.mid\n");
  EXPECT_TRUE(Gatherer(list).add_playlist(kit + "/kit.m3u"));
  EXPECT_EQ(texts(), (std::vector<std::string>{"hat.mid", "a tom.mid", "B tom.mid", "kick.mid"}));
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].caption, "Files not added");
  EXPECT_EQ(window.boxes[0].text, "These were not added:\n\n" + kit +
                                      "/gone.mid: no such file\nhat.mid is listed 3 times; "
                                      "added once");

  window.boxes.clear();
  test::write_text(kit + "/empty.m3u", "#EXTM3U\n");
  EXPECT_FALSE(Gatherer(list).add_playlist(kit + "/empty.m3u"));
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].caption, "Files not added");
  EXPECT_EQ(window.boxes[0].text, "These were not added:\n\nempty.m3u holds no sounds");
}

}  // namespace
}  // namespace brisca
