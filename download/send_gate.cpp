#include "download/send_gate.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace brisca {
namespace {

constexpr const char* kCaption = "Send File(s)";

std::string runtime_folder() {
  const char* dir = std::getenv("XDG_RUNTIME_DIR");
  return dir != nullptr && *dir != '\0' ? dir : "/tmp";
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
std::string DestinationLock::path_for(const std::string& destination) {
  std::string readable;
  for (char c : destination.substr(0, 64)) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    readable += plain ? c : '_';
  }
  char hash[16];
  std::snprintf(hash, sizeof hash, "%08x", name_hash(destination));
  return runtime_folder() + "/briscatool-send-" + readable + "-" + hash + ".lock";
}

bool DestinationLock::acquire(const std::string& destination) {
  release();
  holder_ = 0;
  const std::string path = path_for(destination);
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    holder_ = read_pid(fd);
    ::close(fd);
    return false;
  }
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) {
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

bool SendGate::open() {
  refusal_ = Refusal::None;
  const std::string destination = port_.destination();
  if (destination.empty()) return true;
  if (!lock_.acquire(destination)) {
    refusal_ = Refusal::Locked;
    const std::string who =
        lock_.holder() > 0 ? " (process " + std::to_string(lock_.holder()) + ")" : std::string();
    window_.message_box("Another BriscaTool" + who + " is sending to \"" + destination +
                            "\". Send again when it has finished.",
                        kCaption, BoxIcon::Warning, BoxButtons::Ok);
    return false;
  }
  const std::vector<std::string> others = port_.other_senders();
  if (others.empty() || shared_) return true;
  std::string names;
  for (const std::string& name : others) names += (names.empty() ? "" : ", ") + name;
  const BoxAnswer answer =
      window_.message_box("Also sending to \"" + destination + "\": " + names +
                              ". Their messages would mix with the sound on the way. Send anyway?",
                          kCaption, BoxIcon::Question, BoxButtons::YesNo);
  if (answer == BoxAnswer::Yes) return true;
  refusal_ = Refusal::Shared;
  lock_.release();
  return false;
}

}  // namespace brisca
