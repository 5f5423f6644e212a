#include "receive/sound_folder.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace brisca {
namespace {

constexpr int kMaxCopies = 9999;
constexpr std::uint16_t kDivision = 96;

bool unsafe(unsigned char c) {
  return c < 0x20 || c > 0x7E || std::strchr("/\\:*?\"<>|", c) != nullptr;
}

void put_quantity(std::FILE* f, std::uint32_t value) {
  unsigned char groups[5];
  int n = 0;
  do {
    groups[n++] = static_cast<unsigned char>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (n > 1) std::fputc(groups[--n] | 0x80, f);
  std::fputc(groups[0], f);
}

std::uint32_t quantity_size(std::uint32_t value) {
  std::uint32_t n = 1;
  while (value >= 0x80) {
    value >>= 7;
    ++n;
  }
  return n;
}

void put32(std::FILE* f, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) std::fputc(static_cast<int>((v >> shift) & 0xFF), f);
}

// MThd, then one MTrk of delta-0 System Exclusive events and End of Track, as the sound files
// of the program are laid out. The messages are written straight from where they are held.
bool write_smf0(std::FILE* f, const SoundMessages& m) {
  std::uint32_t track = 4;  // End of Track
  std::uint32_t begin = 0;
  for (std::uint32_t end : m.ends) {
    const std::uint32_t body = end - begin - 1;  // without the F0
    track += 2 + quantity_size(body) + body;
    begin = end;
  }
  const unsigned char head[] = {
      'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, kDivision >> 8, kDivision & 0xFF,
      'M', 'T', 'r', 'k'};
  std::fwrite(head, 1, sizeof head, f);
  put32(f, track);
  begin = 0;
  for (std::uint32_t end : m.ends) {
    const std::uint32_t body = end - begin - 1;
    std::fputc(0x00, f);
    std::fputc(0xF0, f);
    put_quantity(f, body);
    std::fwrite(m.bytes.data() + begin + 1, 1, body, f);
    begin = end;
  }
  const unsigned char tail[] = {0x00, 0xFF, 0x2F, 0x00};
  std::fwrite(tail, 1, sizeof tail, f);
  return std::ferror(f) == 0;
}

// Moves `from` to `to` unless `to` exists. EEXIST when it does.
int move_no_replace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the no-replace rename: a hard link fails the same way on a taken name.
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

void sync_folder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::string error_text(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

}  // namespace

std::string file_stem(std::string_view sound_name) {
  std::string stem;
  for (std::size_t i = 0; i < sound_name.size(); ++i) {
    const auto c = static_cast<unsigned char>(sound_name[i]);
    if (c == '.' && i + 1 < sound_name.size() && sound_name[i + 1] == '.') {
      stem += '_';
      while (i + 1 < sound_name.size() && sound_name[i + 1] == '.') ++i;
      continue;
    }
    stem += unsafe(c) ? '_' : static_cast<char>(c);
  }
  const std::size_t first = stem.find_first_not_of(" .");
  if (first == std::string::npos) return "Unnamed";
  const std::size_t last = stem.find_last_not_of(" .");
  return stem.substr(first, last - first + 1);
}

std::string sound_file_name(const std::string& stem, bool partial, int copy) {
  std::string name = stem;
  if (partial) name += " (partial)";
  if (copy > 1) name += " (" + std::to_string(copy) + ")";
  return name + ".mid";
}

WriteOutcome write_sound_file(const std::string& folder, const std::string& stem, bool partial,
                              const SoundMessages& messages) {
  const std::string dir = folder.empty() ? "." : folder;
  std::string temp = dir + "/.receiving-XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return {{}, error_text("cannot write in " + dir, errno)};
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(::fdopen(fd, "wb"), &std::fclose);
  if (!file) {
    const int error = errno;
    ::close(fd);
    ::unlink(temp.c_str());
    return {{}, error_text("cannot write in " + dir, error)};
  }
  bool ok = write_smf0(file.get(), messages) && std::fflush(file.get()) == 0 && ::fsync(fd) == 0;
  int error = errno;
  if (std::fclose(file.release()) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return {{}, error_text("cannot write in " + dir, error)};
  }
  for (int copy = 1; copy <= kMaxCopies; ++copy) {
    const std::string path = dir + "/" + sound_file_name(stem, partial, copy);
    const int result = move_no_replace(temp, path);
    if (result == EEXIST) continue;
    if (result != 0) {
      ::unlink(temp.c_str());
      return {{}, error_text("cannot name " + path, result)};
    }
    sync_folder(dir);
    return {path, {}};
  }
  ::unlink(temp.c_str());
  return {{}, "every name for " + stem + " is taken in " + dir};
}

}  // namespace brisca
