// Writing a file so that it appears whole or not at all: the bytes go to a temporary file
// ("NAME.tmpXXXXXX") in the same folder, which is flushed to disk and then renamed to NAME. A
// write that fails half-way (a full disk, a lost device) removes the temporary file and leaves
// NAME as it was. The temporary files of the writes in progress are known process-wide, so that
// a signal that ends the program can remove them (remove_unfinished).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brisca {

enum class Replace {
  Allow,   // an existing NAME is replaced
  Refuse,  // an existing NAME stays; commit fails with EEXIST
};

class AtomicFile {
 public:
  // Creates the temporary file next to `path`. Nothing, with errno set, when it cannot be made.
  static std::optional<AtomicFile> create(const std::string& path);

  AtomicFile(AtomicFile&& other) noexcept;
  AtomicFile& operator=(AtomicFile&& other) noexcept;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  // Removes the temporary file unless it was committed.
  ~AtomicFile();

  // The temporary file's descriptor, for writers that take one (it stays owned here).
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }

  // Writes all of `bytes`; false (errno set) on the first failure, which later writes and
  // commit() then keep reporting.
  bool write(std::span<const std::uint8_t> bytes);
  // Marks the contents as bad (for a writer that failed on its own): commit() will fail.
  void fail(int error);
  // Flushes to disk, closes and renames the temporary file to path(). False (errno set, the
  // temporary file removed) when anything failed or `replace` is Refuse and path() exists.
  bool commit(Replace replace = Replace::Allow);
  // Removes the temporary file now.
  void discard();
  // The errno of the first failure, 0 while none.
  int error() const { return error_; }

  // Removes the temporary file of every write in progress in the process. Only
  // async-signal-safe work: a signal handler may call it before the process ends.
  static void remove_unfinished();

 private:
  AtomicFile() = default;
  bool place(Replace replace);
  void forget_temp();
  std::string path_;
  std::string temp_path_;
  int fd_ = -1;
  int error_ = 0;
  int slot_ = -1;  // where remove_unfinished() finds the temporary file; -1 for nowhere
};

// True for the name of a temporary file of a write in progress, or of one a crash left
// ("NAME.tmpXXXXXX"): never a sound file of its own.
bool is_temporary_file_name(std::string_view file_name);

// Writes `bytes` to `path` through an AtomicFile. False, with errno set, when it failed; the
// file at `path` is then untouched.
bool write_file_atomic(const std::string& path, std::span<const std::uint8_t> bytes,
                       Replace replace = Replace::Allow);

}  // namespace brisca
