#include "soundfile/byte_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace brisca {

std::optional<ByteStream> ByteStream::open_file(const std::string& path) {
  // Opened without waiting: a named pipe would otherwise block until a writer comes, and only
  // a regular file is read at all.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* f = ::fdopen(fd, "rb");
  if (f == nullptr) {
    ::close(fd);
    return std::nullopt;
  }
  ByteStream s;
  s.file_ = f;
  s.file_size_ = static_cast<std::uint64_t>(st.st_size);
  return s;
}

std::string unopened_file_reason(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return errno == ENOENT || errno == ENOTDIR ? "no such file" : std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return "a folder, not a file";
  if (S_ISFIFO(st.st_mode)) return "a named pipe, not a file";
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "a device, not a file";
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  return "not a readable file";
}

ByteStream ByteStream::from_memory(std::span<const std::uint8_t> bytes) {
  ByteStream s;
  // A non-null pointer marks the stream open even for an empty span.
  static const std::uint8_t kEmpty = 0;
  s.memory_ = bytes.empty() ? &kEmpty : bytes.data();
  s.memory_size_ = bytes.size();
  return s;
}

ByteStream::ByteStream(ByteStream&& other) noexcept {
  *this = std::move(other);
}

ByteStream& ByteStream::operator=(ByteStream&& other) noexcept {
  if (this != &other) {
    close();
    file_ = std::exchange(other.file_, nullptr);
    file_size_ = other.file_size_;
    memory_ = std::exchange(other.memory_, nullptr);
    memory_size_ = other.memory_size_;
    memory_pos_ = other.memory_pos_;
  }
  return *this;
}

ByteStream::~ByteStream() {
  close();
}

void ByteStream::close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  memory_ = nullptr;
  memory_size_ = memory_pos_ = 0;
}

int ByteStream::getc() {
  if (file_ != nullptr) return getc_unlocked(file_);
  if (memory_ == nullptr || memory_pos_ >= memory_size_) return kEof;
  return memory_[memory_pos_++];
}

void ByteStream::ungetc(int byte) {
  if (byte == kEof) return;
  if (file_ != nullptr) {
    std::ungetc(byte, file_);
  } else if (memory_pos_ > 0) {
    --memory_pos_;
  }
}

std::size_t ByteStream::read(std::uint8_t* out, std::size_t count) {
  if (file_ != nullptr) return std::fread(out, 1, count, file_);
  if (memory_ == nullptr) return 0;
  std::size_t n = std::min(count, memory_size_ - memory_pos_);
  std::copy_n(memory_ + memory_pos_, n, out);
  memory_pos_ += n;
  return n;
}

std::uint64_t ByteStream::tell() const {
  if (file_ != nullptr) {
    long pos = std::ftell(file_);
    return pos < 0 ? file_size_ : static_cast<std::uint64_t>(pos);
  }
  return memory_pos_;
}

std::uint64_t ByteStream::remaining() const {
  std::uint64_t size = file_ != nullptr ? file_size_ : memory_size_;
  std::uint64_t pos = tell();
  return pos >= size ? 0 : size - pos;
}

bool ByteStream::skip(std::uint64_t count) {
  std::uint64_t left = remaining();
  std::uint64_t n = std::min(count, left);
  if (file_ != nullptr) {
    if (n > 0) std::fseek(file_, static_cast<long>(n), SEEK_CUR);
  } else {
    memory_pos_ += static_cast<std::size_t>(n);
  }
  return n == count;
}

}  // namespace brisca
