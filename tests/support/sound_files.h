// Temporary folders and sound files for tests: good files with a header block, files of other
// System Exclusive messages, and files that fail the header checks.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "soundfile/sound_writer.h"

namespace brisca::test {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brisca-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, without a separator at the end.
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  std::string make_folder(const std::string& name) const {
    std::filesystem::create_directories(*this / name);
    return *this / name;
  }

 private:
  std::string path_;
};

// A sound file whose header block announces `total_blocks`, followed by two data blocks.
inline Bytes sound_file_bytes(int total_blocks, const std::string& name = "TEST SOUND") {
  UnpackedBlock data{};
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  return make_smf0(
      {make_header_block(name, "KICK", total_blocks), make_block(1, data), make_block(2, data)});
}

inline std::string write_sound(const std::string& path, int total_blocks) {
  write_file(path, sound_file_bytes(total_blocks));
  return path;
}

// A file of `count` System Exclusive messages that are not sound-dump blocks.
inline std::string write_other_sysex(const std::string& path, int count) {
  std::vector<Bytes> messages(static_cast<std::size_t>(count), Bytes{0xF0, 0x7E, 0x00, 0x06, 0xF7});
  write_file(path, make_smf0(messages));
  return path;
}

inline std::string write_text(const std::string& path, const std::string& text) {
  write_file(path, Bytes(text.begin(), text.end()));
  return path;
}

// A well-formed file header of format 1.
inline std::string write_format1(const std::string& path) {
  Bytes bytes = make_smf0({make_header_block("X", "KICK", 1)});
  bytes[9] = 1;
  write_file(path, bytes);
  return path;
}

// A file header followed by something other than a track.
inline std::string write_bad_track(const std::string& path) {
  Bytes bytes = make_smf0({make_header_block("X", "KICK", 1)});
  bytes[14] = 'X';
  write_file(path, bytes);
  return path;
}

}  // namespace brisca::test
