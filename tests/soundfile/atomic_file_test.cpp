// Files written whole or not at all: replacing, refusing to replace, a disk that fills up
// half-way, and targets that are not plain files.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "soundfile/atomic_file.h"
#include "tests/support/sound_files.h"

namespace brisca {
namespace {

namespace fs = std::filesystem;

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Bytes bytes_of(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// The names in `folder`, so that no temporary file is left behind unnoticed.
std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(AtomicFile, ReplacesOrRefusesAndLeavesNoTemporaryFile) {
  test::TempDir dir;
  const std::string path = dir / "out.mid";
  ASSERT_TRUE(write_file_atomic(path, bytes_of("first")));
  ::chmod(path.c_str(), 0640);
  ASSERT_TRUE(write_file_atomic(path, bytes_of("second")));
  EXPECT_EQ(contents(path), "second");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // a replaced file keeps its mode

  errno = 0;
  EXPECT_FALSE(write_file_atomic(path, bytes_of("third"), Replace::Refuse));
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(contents(path), "second");
  EXPECT_TRUE(write_file_atomic(dir / "new.mid", bytes_of("new"), Replace::Refuse));
  EXPECT_EQ(contents(dir / "new.mid"), "new");

  {  // dropped without commit: nothing appears
    auto file = AtomicFile::create(dir / "dropped.mid");
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->write(bytes_of("half")));
  }
  EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"new.mid", "out.mid"}));
}

// A file size limit makes write() fail the way a full disk does, part of the way through.
TEST(AtomicFile, DiskFullHalfWayLeavesNoPartialFile) {
  test::TempDir dir;
  const std::string path = dir / "big.mid";
  ASSERT_TRUE(write_file_atomic(path, bytes_of("old contents")));

  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  errno = 0;
  const bool written = write_file_atomic(path, Bytes(100000, 0x42));
  const int error = errno;
  const bool fresh = write_file_atomic(dir / "fresh.mid", Bytes(100000, 0x42));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);

  EXPECT_FALSE(written);
  EXPECT_EQ(error, EFBIG);
  EXPECT_FALSE(fresh);
  EXPECT_EQ(contents(path), "old contents");
  EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"big.mid"}));
}

TEST(AtomicFile, RefusesTargetsThatAreNotPlainFiles) {
  test::TempDir dir;
  const std::string pipe = dir / "pipe.mid";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  errno = 0;
  EXPECT_FALSE(write_file_atomic(pipe, bytes_of("x")));
  EXPECT_EQ(errno, EINVAL);
  EXPECT_FALSE(write_file_atomic(dir.make_folder("sub"), bytes_of("x")));
  EXPECT_EQ(errno, EISDIR);
  struct stat st {};
  ASSERT_EQ(::stat(pipe.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"pipe.mid", "sub"}));
}

}  // namespace
}  // namespace brisca
