#include "receive/sound_folder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "soundfile/atomic_file.h"
#include "soundfile/sound_writer.h"

namespace brisca {
namespace {

constexpr int kMaxCopies = 9999;
constexpr std::uint16_t kDivision = 96;

bool unsafe(unsigned char c) {
  return c < 0x20 || c > 0x7E || std::strchr("/\\:*?\"<>|", c) != nullptr;
}

// Gathers the bytes of the file and hands them to the file in large pieces.
class Output {
 public:
  explicit Output(AtomicFile& file) : file_(file) { buffer_.reserve(kPiece); }
  void put(std::uint8_t byte) {
    buffer_.push_back(byte);
    if (buffer_.size() >= kPiece) flush();
  }
  void put(const std::uint8_t* data, std::size_t n) {
    if (buffer_.size() + n > kPiece) flush();
    if (n >= kPiece) {
      file_.write({data, n});
      return;
    }
    buffer_.insert(buffer_.end(), data, data + n);
  }
  void put32(std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) put(static_cast<std::uint8_t>(v >> shift));
  }
  void put_quantity(std::uint32_t value) {
    brisca::put_quantity(buffer_, value);
    if (buffer_.size() >= kPiece) flush();
  }
  void flush() {
    if (!buffer_.empty()) file_.write(buffer_);
    buffer_.clear();
  }

 private:
  static constexpr std::size_t kPiece = 256 * 1024;
  AtomicFile& file_;
  std::vector<std::uint8_t> buffer_;
};

std::uint32_t quantity_size(std::uint32_t value) {
  std::uint32_t n = 1;
  while (value >= 0x80) {
    value >>= 7;
    ++n;
  }
  return n;
}

// MThd, then one MTrk of delta-0 System Exclusive events and End of Track, as the sound files
// of the program are laid out.
void write_smf0(AtomicFile& file, const SoundMessages& m) {
  std::uint32_t track = 4;  // End of Track
  std::uint32_t begin = 0;
  for (std::uint32_t end : m.ends) {
    const std::uint32_t body = end - begin - 1;  // without the F0
    track += 2 + quantity_size(body) + body;
    begin = end;
  }
  Output out(file);
  const std::uint8_t head[] = {
      'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, kDivision >> 8, kDivision & 0xFF,
      'M', 'T', 'r', 'k'};
  out.put(head, sizeof head);
  out.put32(track);
  begin = 0;
  for (std::uint32_t end : m.ends) {
    const std::uint32_t body = end - begin - 1;
    out.put(0x00);
    out.put(0xF0);
    out.put_quantity(body);
    out.put(m.bytes.data() + begin + 1, body);
    begin = end;
  }
  for (std::uint8_t b : {0x00, 0xFF, 0x2F, 0x00}) out.put(b);
  out.flush();
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
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

Status check_folder_writable(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return make_error(ErrorCode::NotFound, "is not a folder");
  auto probe = AtomicFile::create(folder + "/.receive-check");
  if (!probe)
    return make_error(ErrorCode::Io, std::string("cannot be written: ") + std::strerror(errno));
  probe->discard();
  return {};
}

Result<std::string> write_sound_file(const std::string& folder, const std::string& stem,
                                     bool partial, const SoundMessages& messages) {
  const std::string dir = folder.empty() ? "." : folder;
  for (int copy = 1; copy <= kMaxCopies; ++copy) {
    const std::string path = dir + "/" + sound_file_name(stem, partial, copy);
    if (exists(path)) continue;
    auto file = AtomicFile::create(path);
    if (!file) return make_error(ErrorCode::Io, error_text("cannot write in " + dir, errno));
    write_smf0(*file, messages);
    if (file->commit(Replace::Refuse)) return path;
    if (errno == EEXIST) continue;  // the name was taken meanwhile: the next one
    return make_error(ErrorCode::Io, error_text("cannot write " + path, errno));
  }
  return make_error(ErrorCode::Io, "every name for " + stem + " is taken in " + dir);
}

}  // namespace brisca
