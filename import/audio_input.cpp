#include "import/audio_input.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string_view>

#include "soundfile/byte_stream.h"

namespace brisca {
namespace {

struct CloseSndfile {
  void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndfilePtr = std::unique_ptr<SNDFILE, CloseSndfile>;

// libsndfile's virtual I/O over a block of memory.
struct MemoryFile {
  std::span<const std::uint8_t> bytes;
  sf_count_t pos = 0;
};

sf_count_t memory_length(void* user) {
  return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size());
}
sf_count_t memory_seek(sf_count_t offset, int whence, void* user) {
  auto* m = static_cast<MemoryFile*>(user);
  const auto size = static_cast<sf_count_t>(m->bytes.size());
  sf_count_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? size : 0;
  m->pos = std::clamp<sf_count_t>(base + offset, 0, size);
  return m->pos;
}
sf_count_t memory_read(void* out, sf_count_t count, void* user) {
  auto* m = static_cast<MemoryFile*>(user);
  const auto size = static_cast<sf_count_t>(m->bytes.size());
  const sf_count_t n = std::clamp<sf_count_t>(count, 0, size - m->pos);
  if (n > 0) std::memcpy(out, m->bytes.data() + m->pos, static_cast<std::size_t>(n));
  m->pos += n;
  return n;
}
sf_count_t memory_write(const void*, sf_count_t, void*) {
  return 0;
}
sf_count_t memory_tell(void* user) {
  return static_cast<MemoryFile*>(user)->pos;
}

// Float files may hold any value. Anything beyond full scale is clipped when played, but values
// near the float range would make the resampler's sums overflow into infinities and NaNs; so
// samples are kept within 12 dB over full scale, and values that are not numbers become 0.
constexpr float kLoudest = 4.0f;

std::string format_name(const SF_INFO& info) {
  SF_FORMAT_INFO major{}, sub{};
  major.format = info.format & SF_FORMAT_TYPEMASK;
  sub.format = info.format & SF_FORMAT_SUBMASK;
  std::string text;
  if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &major, sizeof major) == 0 && major.name)
    text = major.name;
  if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &sub, sizeof sub) == 0 && sub.name)
    text += (text.empty() ? "" : ", ") + std::string(sub.name);
  return text;
}

// Reads the whole file in pieces, each frame's channels averaged into one sample.
Result<AudioInput> read_all(SNDFILE* file, const SF_INFO& info, const AudioLimits& limits) {
  AudioInput in;
  in.rate = info.samplerate;
  in.channels = info.channels;
  in.format = format_name(info);
  if (info.samplerate <= 0 || info.channels <= 0)
    return make_error(ErrorCode::BadFile,
                      "not a readable audio file (no sample rate or no channels)");
  // Normalised float reading: every integer format comes in at full scale 1.0, and a float file
  // keeps its own values.
  sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
  constexpr sf_count_t kPiece = 4096;
  const auto channels = static_cast<std::size_t>(info.channels);
  std::vector<float> piece(static_cast<std::size_t>(kPiece) * channels);
  // A few frames of slack, so that rounding never refuses a file exactly at the limit.
  const std::size_t limit =
      limits.max_seconds > 0.0
          ? static_cast<std::size_t>(std::ceil(limits.max_seconds * info.samplerate)) + 16
          : 0;
  if (info.frames > 0)
    in.samples.reserve(std::min<std::size_t>(static_cast<std::size_t>(info.frames),
                                             limit ? limit : std::size_t{1} << 24));
  for (;;) {
    const sf_count_t got = sf_readf_float(file, piece.data(), kPiece);
    if (got <= 0) break;
    for (sf_count_t f = 0; f < got; ++f) {
      const float* frame = piece.data() + static_cast<std::size_t>(f) * channels;
      double sum = 0.0;
      for (std::size_t c = 0; c < channels; ++c) sum += frame[c];
      const auto v = static_cast<float>(sum / static_cast<double>(channels));
      if (limit == 0 || in.samples.size() < limit)
        in.samples.push_back(std::isfinite(v) ? std::clamp(v, -kLoudest, kLoudest) : 0.0f);
      else if (limits.trim_threshold <= 0.0f || std::fabs(v) >= limits.trim_threshold)
        return make_error(ErrorCode::TooLong, "too long");
    }
  }
  if (sf_error(file) != SF_ERR_NO_ERROR)
    return make_error(ErrorCode::BadFile,
                      std::string("cannot be read to the end (") + sf_strerror(file) + ")");
  if (in.samples.empty()) return make_error(ErrorCode::BadFile, "holds no samples");
  return in;
}

Error open_error() {
  return make_error(ErrorCode::BadFile, std::string("not an audio file that can be read (") +
                                            sf_strerror(nullptr) + ")");
}

// Why `path` is not read at all: it is there but no regular file. Opening a named pipe would
// wait for a writer for ever, and a device may never end. Empty for a regular file (or none).
std::string not_a_file(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return {};
  return "cannot be opened (" + unopened_file_reason(path) + ")";
}

}  // namespace

Result<AudioInput> read_audio_file(const std::string& path, const AudioLimits& limits) {
  if (std::string refused = not_a_file(path); !refused.empty())
    return make_error(ErrorCode::BadFile, std::move(refused));
  SF_INFO info{};
  SndfilePtr file(sf_open(path.c_str(), SFM_READ, &info));
  if (!file) return open_error();
  return read_all(file.get(), info, limits);
}

Result<AudioInput> read_audio_memory(std::span<const std::uint8_t> bytes,
                                     const AudioLimits& limits) {
  SF_VIRTUAL_IO io{memory_length, memory_seek, memory_read, memory_write, memory_tell};
  MemoryFile memory{bytes};
  SF_INFO info{};
  SndfilePtr file(sf_open_virtual(&io, SFM_READ, &info, &memory));
  if (!file) return open_error();
  return read_all(file.get(), info, limits);
}

std::vector<std::string> audio_file_patterns() {
  // Common spellings libsndfile's own list leaves out; its header-less raw format is no file
  // type of its own.
  std::vector<std::string> ext{"aif", "aifc", "ogg", "opus", "mp3", "mp2", "snd"};
  int count = 0;
  sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
  for (int i = 0; i < count; ++i) {
    SF_FORMAT_INFO major{};
    major.format = i;
    if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &major, sizeof major) == 0 && major.extension &&
        std::string_view(major.extension) != "raw")
      ext.emplace_back(major.extension);
  }
  std::sort(ext.begin(), ext.end());
  ext.erase(std::unique(ext.begin(), ext.end()), ext.end());
  for (std::string& e : ext) e = "*." + e;
  return ext;
}

bool is_audio_file(const std::string& path) {
  if (!not_a_file(path).empty()) return false;
  SF_INFO info{};
  SndfilePtr file(sf_open(path.c_str(), SFM_READ, &info));
  return file != nullptr;
}

}  // namespace brisca
