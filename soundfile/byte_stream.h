// A read-only byte stream over a file (opened "rb") or a block of memory, with the handful of
// operations the MIDI file reader needs: read, getc, ungetc, tell, skip, and how much is left.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brisca {

class ByteStream {
 public:
  static constexpr int kEof = -1;

  // Opens a regular file for binary reading; nothing when it cannot be opened or is anything
  // else (a folder, a named pipe, a device), without ever waiting on it.
  static std::optional<ByteStream> open_file(const std::string& path);
  // A stream over memory the caller keeps alive.
  static ByteStream from_memory(std::span<const std::uint8_t> bytes);
  // A temporary buffer would be gone before the stream is read.
  static ByteStream from_memory(std::vector<std::uint8_t>&& bytes) = delete;

  ByteStream(ByteStream&& other) noexcept;
  ByteStream& operator=(ByteStream&& other) noexcept;
  ByteStream(const ByteStream&) = delete;
  ByteStream& operator=(const ByteStream&) = delete;
  ~ByteStream();

  int getc();
  void ungetc(int byte);
  std::size_t read(std::uint8_t* out, std::size_t count);
  std::uint64_t tell() const;
  // Moves forward by count bytes, stopping at the end; returns false when it hit the end.
  bool skip(std::uint64_t count);
  // Bytes between the current position and the end of the stream.
  std::uint64_t remaining() const;
  void close();
  bool is_open() const { return file_ != nullptr || memory_ != nullptr; }

 private:
  ByteStream() = default;
  std::FILE* file_ = nullptr;
  std::uint64_t file_size_ = 0;
  const std::uint8_t* memory_ = nullptr;
  std::size_t memory_size_ = 0;
  std::size_t memory_pos_ = 0;
};

// Why open_file gave nothing for `path`, as a few words ("no such file", "a named pipe, not a
// file", ...).
std::string unopened_file_reason(const std::string& path);

}  // namespace brisca
