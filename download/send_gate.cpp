#include "download/send_gate.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace brisca {
namespace {

constexpr const char* kCaption = "Send File(s)";

// The open folder when it is one that only this user can write to: a real folder (not a
// link), owned by this user, with no access for anyone else; -1 otherwise.
int open_private_folder(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
      (st.st_mode & 077) == 0)
    return fd;
  ::close(fd);
  return -1;
}

// $XDG_RUNTIME_DIR when it is a private folder, else a folder of this user's own in the
// temporary folder (briscatool-UID, made 0700). A folder that someone else made or may write to
// is never used, as they could plant links in it.
std::string lock_folder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0') {
    const int fd = open_private_folder(runtime);
    if (fd >= 0) {
      ::close(fd);
      return runtime;
    }
  }
  const char* tmp = std::getenv("TMPDIR");
  const std::string base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  const std::string own = base + "/briscatool-" + std::to_string(::geteuid());
  if (::mkdir(own.c_str(), 0700) != 0 && errno != EEXIST) return {};
  return own;
}

// The lock file `name` of the private folder, opened never through a link and never truncated
// on opening: -1 when the folder is not private or the name holds anything but a plain file of
// this user's (which is then left as it is).
int open_lock_file(const std::string& folder, const std::string& name) {
  const int dir = open_private_folder(folder);
  if (dir < 0) return -1;
  const int fd =
      ::openat(dir, name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  ::close(dir);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_nlink == 1)
    return fd;
  ::close(fd);
  return -1;
}

// FNV-1a: the same in every build, so two versions of the program agree on the name.
std::uint32_t name_hash(const std::string& text) {
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : text) hash = (hash ^ c) * 16777619u;
  return hash;
}

int read_pid(int fd) {
  char text[32] = {};
  const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
  return got > 0 ? std::atoi(text) : 0;
}

}  // namespace

// The readable part keeps letters and digits of the destination; the hash keeps two
// destinations that read alike apart.
std::string DestinationLock::file_name_for(const std::string& destination) {
  std::string readable;
  for (char c : destination.substr(0, 64)) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    readable += plain ? c : '_';
  }
  char hash[16];
  std::snprintf(hash, sizeof hash, "%08x", name_hash(destination));
  return "briscatool-send-" + readable + "-" + hash + ".lock";
}

std::string DestinationLock::path_for(const std::string& destination) {
  const std::string folder = lock_folder();
  return folder.empty() ? std::string() : folder + "/" + file_name_for(destination);
}

bool DestinationLock::acquire(const std::string& destination) {
  release();
  holder_ = 0;
  const std::string folder = lock_folder();
  if (folder.empty()) return true;
  const int fd = open_lock_file(folder, file_name_for(destination));
  if (fd < 0) return true;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    holder_ = read_pid(fd);
    ::close(fd);
    return false;
  }
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) {  // the file is this user's own plain file, checked above
    const ssize_t written = ::pwrite(fd, pid.data(), pid.size(), 0);
    static_cast<void>(written);  // without the number the lock still holds
  }
  fd_ = fd;
  return true;
}

void DestinationLock::release() {
  if (fd_ < 0) return;
  ::close(fd_);  // closing the only descriptor drops the lock
  fd_ = -1;
}

std::optional<Notice> SendGate::open(bool confirmed) {
  refusal_ = Refusal::None;
  const std::string destination = port_.destination();
  if (destination.empty()) return std::nullopt;
  if (!lock_.acquire(destination)) {
    refusal_ = Refusal::Locked;
    const std::string who =
        lock_.holder() > 0 ? " (process " + std::to_string(lock_.holder()) + ")" : std::string();
    return warning("Another BriscaTool" + who + " is sending to \"" + destination +
                       "\". Send again when it has finished.",
                   kCaption);
  }
  if (shared_ || confirmed) return std::nullopt;
  const std::vector<std::string> others = port_.other_senders();
  if (others.empty()) return std::nullopt;
  std::string names;
  for (const std::string& name : others) names += (names.empty() ? "" : ", ") + name;
  // The lock is not held while the user decides: a yes takes it again.
  refusal_ = Refusal::Shared;
  lock_.release();
  return question("Also sending to \"" + destination + "\": " + names +
                      ". Their messages would mix with the sound on the way. Send anyway?",
                  kCaption);
}

}  // namespace brisca
