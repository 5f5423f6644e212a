#include "soundfile/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace brisca {
namespace {

constexpr std::string_view kTempMark = ".tmp";
constexpr std::size_t kTempRandom = 6;  // the XXXXXX mkostemp fills in

// The temporary files of the writes in progress, for remove_unfinished(). Each slot holds a copy
// of its name of its own; a name is freed only while no remove_unfinished() runs, so that a
// signal handler on another thread never reads freed memory. More writes at once than slots
// are still made; only their temporary files are not removed at a signal.
constexpr int kSlots = 32;
std::array<std::atomic<char*>, kSlots> g_unfinished{};
std::atomic<int> g_removing{0};

int remember(const std::string& temp_path) {
  char* copy = new char[temp_path.size() + 1];
  std::memcpy(copy, temp_path.c_str(), temp_path.size() + 1);
  for (int slot = 0; slot < kSlots; ++slot) {
    char* empty = nullptr;
    if (g_unfinished[static_cast<std::size_t>(slot)].compare_exchange_strong(empty, copy))
      return slot;
  }
  delete[] copy;
  return -1;
}

void forget(int slot) {
  if (slot < 0) return;
  char* name = g_unfinished[static_cast<std::size_t>(slot)].exchange(nullptr);
  while (g_removing.load() != 0) std::this_thread::yield();
  delete[] name;
}

std::string folder_of(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The mode a newly created file gets (0666 less the umask); the umask is read without
// changing it, which umask() would do for every thread.
mode_t new_file_mode() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0)
      return 0666 & ~static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
  }
  return 0644;
}

// Makes a rename into `folder` survive a crash. Best effort: some file systems refuse it.
void sync_folder(const std::string& folder) {
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  ::fsync(dir);
  ::close(dir);
}

// Renames `from` to `to` unless `to` exists.
bool rename_no_replace(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: a hard link also fails when `to` exists.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
#else
  // A C library without renameat2 (the WebAssembly build, which runs on one thread and whose
  // file systems have no hard links): looking first is as good as the flag there.
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

std::optional<AtomicFile> AtomicFile::create(const std::string& path) {
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (path.empty() || path.back() == '/' || (exists && !S_ISREG(st.st_mode))) {
    // Renaming over a device, a pipe or a folder would replace it: only files are written so.
    errno = exists && S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return std::nullopt;
  }
  std::vector<char> name(path.begin(), path.end());
  for (char c : kTempMark) name.push_back(c);
  name.insert(name.end(), kTempRandom, 'X');
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  // mkostemp makes the file private (0600); give it the mode the file would have had.
  ::fchmod(fd, exists ? (st.st_mode & 07777) : new_file_mode());
  AtomicFile file;
  file.path_ = path;
  file.temp_path_ = name.data();
  file.fd_ = fd;
  file.slot_ = remember(file.temp_path_);
  return file;
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept {
  *this = std::move(other);
}

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept {
  if (this != &other) {
    discard();
    path_ = std::move(other.path_);
    temp_path_ = std::exchange(other.temp_path_, std::string());
    fd_ = std::exchange(other.fd_, -1);
    error_ = std::exchange(other.error_, 0);
    slot_ = std::exchange(other.slot_, -1);
  }
  return *this;
}

AtomicFile::~AtomicFile() {
  discard();
}

bool AtomicFile::write(std::span<const std::uint8_t> bytes) {
  if (error_ != 0 || fd_ < 0) {
    errno = error_ != 0 ? error_ : EBADF;
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      fail(n < 0 ? errno : ENOSPC);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void AtomicFile::fail(int error) {
  if (error_ == 0) error_ = error != 0 ? error : EIO;
}

bool AtomicFile::commit(Replace replace) {
  if (fd_ < 0 && error_ == 0) error_ = EBADF;
  if (error_ == 0 && ::fsync(fd_) != 0) fail(errno);
  if (fd_ >= 0 && ::close(fd_) != 0) fail(errno);
  fd_ = -1;
  if (error_ == 0 && !place(replace)) fail(errno);
  if (error_ != 0) {
    const int error = error_;
    discard();
    errno = error;
    return false;
  }
  forget_temp();
  sync_folder(folder_of(path_));
  return true;
}

bool AtomicFile::place(Replace replace) {
  if (replace == Replace::Refuse) return rename_no_replace(temp_path_, path_);
  return ::rename(temp_path_.c_str(), path_.c_str()) == 0;
}

void AtomicFile::discard() {
  const int saved = errno;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
  forget_temp();
  errno = saved;
}

void AtomicFile::forget_temp() {
  temp_path_.clear();
  forget(std::exchange(slot_, -1));
}

void AtomicFile::remove_unfinished() {
  static_assert(std::atomic<char*>::is_always_lock_free && std::atomic<int>::is_always_lock_free);
  g_removing.fetch_add(1);
  for (auto& slot : g_unfinished) {
    if (const char* name = slot.load()) ::unlink(name);
  }
  g_removing.fetch_sub(1);
}

bool is_temporary_file_name(std::string_view name) {
  const std::size_t tail = kTempMark.size() + kTempRandom;
  if (name.size() <= tail || name.substr(name.size() - tail, kTempMark.size()) != kTempMark)
    return false;
  for (char c : name.substr(name.size() - kTempRandom)) {
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alnum) return false;
  }
  return true;
}

bool write_file_atomic(const std::string& path, std::span<const std::uint8_t> bytes,
                       Replace replace) {
  auto file = AtomicFile::create(path);
  if (!file) return false;
  return file->write(bytes) && file->commit(replace);
}

}  // namespace brisca
