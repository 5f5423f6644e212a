// Audio files in, for the WebAssembly build, which has no libsndfile: RIFF WAVE files of integer
// PCM (8 to 32 bits) or 32/64-bit float, read as libsndfile reads them (integers normalised so
// that full scale is 1.0: x / 2^(bits-1)), and channels decoded elsewhere (by the browser) handed
// in as they are. Both are mixed to one channel under the same limits as the desktop's reader.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "import/audio_input.h"
#include "soundfile/byte_stream.h"
#include "web/core/web_audio.h"

namespace brisca {
namespace {

constexpr float kLoudest = 4.0f;  // samples kept within 12 dB over full scale, as the desktop

std::uint32_t le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

struct WavFormat {
  int tag = 0, channels = 0, bits = 0;
  double rate = 0;
  std::size_t data = 0, size = 0;  // where the samples are and how many bytes
};

// The fmt and data chunks; an error text when the bytes are no WAV file this reader takes.
std::string parse_wav(std::span<const std::uint8_t> b, WavFormat& f) {
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) || std::memcmp(b.data() + 8, "WAVE", 4))
    return "not an audio file that can be read (this build reads WAV files)";
  bool have_fmt = false;
  for (std::size_t at = 12; at + 8 <= b.size();) {
    const std::uint32_t len = le32(b.data() + at + 4);
    const std::size_t body = at + 8;
    const std::size_t avail = std::min<std::size_t>(len, b.size() - body);
    if (!std::memcmp(b.data() + at, "fmt ", 4) && avail >= 16) {
      f.tag = le16(b.data() + body);
      f.channels = le16(b.data() + body + 2);
      f.rate = le32(b.data() + body + 4);
      f.bits = le16(b.data() + body + 14);
      if (f.tag == 0xFFFE && avail >= 26) f.tag = le16(b.data() + body + 24);
      have_fmt = true;
    } else if (!std::memcmp(b.data() + at, "data", 4) && have_fmt) {
      f.data = body;
      f.size = avail;
      break;
    }
    at = body + len + (len & 1);
  }
  if (!have_fmt || f.data == 0) return "not an audio file that can be read (no samples found)";
  const bool pcm = f.tag == 1 && f.bits >= 8 && f.bits <= 32 && f.bits % 8 == 0;
  const bool flt = f.tag == 3 && (f.bits == 32 || f.bits == 64);
  if (!pcm && !flt) return "not an audio file that can be read (an encoding this build lacks)";
  return {};
}

float sample_at(const std::uint8_t* p, const WavFormat& f) {
  if (f.tag == 3) {
    if (f.bits == 32) {
      float v;
      std::memcpy(&v, p, 4);
      return v;
    }
    double v;
    std::memcpy(&v, p, 8);
    return static_cast<float>(v);
  }
  if (f.bits == 8) return static_cast<float>((p[0] - 128) / 128.0);
  std::int32_t v = 0;
  const int bytes = f.bits / 8;
  for (int i = 0; i < bytes; ++i) v |= static_cast<std::int32_t>(p[i]) << (8 * (4 - bytes + i));
  return static_cast<float>(static_cast<double>(v) / 2147483648.0);
}

}  // namespace

MonoMix::MonoMix(double rate, int channels, const AudioLimits& limits) : limits_(limits) {
  in_.rate = rate;
  in_.channels = channels;
  if (rate <= 0 || channels <= 0)
    error_ =
        make_error(ErrorCode::BadFile, "not a readable audio file (no sample rate or no channels)");
  else if (limits.max_seconds > 0.0)
    limit_ = static_cast<std::size_t>(std::ceil(limits.max_seconds * rate)) + 16;
}

bool MonoMix::add(double sum) {
  if (error_) return false;
  const auto v = static_cast<float>(sum / static_cast<double>(in_.channels));
  if (limit_ == 0 || in_.samples.size() < limit_) {
    in_.samples.push_back(std::isfinite(v) ? std::clamp(v, -kLoudest, kLoudest) : 0.0f);
  } else if (limits_.trim_threshold <= 0.0f || std::fabs(v) >= limits_.trim_threshold) {
    error_ = make_error(ErrorCode::TooLong, "too long");
    return false;
  }
  return true;
}

Result<AudioInput> MonoMix::finish() {
  if (error_) return std::move(*error_);
  if (in_.samples.empty()) return make_error(ErrorCode::BadFile, "holds no samples");
  return std::move(in_);
}

Result<AudioInput> audio_from_channels(const std::vector<std::vector<float>>& channels, double rate,
                                       const AudioLimits& limits) {
  MonoMix mix(rate, static_cast<int>(channels.size()), limits);
  const std::size_t frames = channels.empty() ? 0 : channels[0].size();
  for (std::size_t i = 0; i < frames; ++i) {
    double sum = 0.0;
    for (const auto& c : channels) sum += i < c.size() ? c[i] : 0.0f;
    if (!mix.add(sum)) break;
  }
  Result<AudioInput> in = mix.finish();
  if (in) in->format = "decoded by the browser";
  return in;
}

Result<AudioInput> read_audio_memory(std::span<const std::uint8_t> bytes,
                                     const AudioLimits& limits) {
  WavFormat f;
  if (std::string error = parse_wav(bytes, f); !error.empty())
    return make_error(ErrorCode::BadFile, std::move(error));
  MonoMix mix(f.rate, f.channels, limits);
  const std::size_t width = static_cast<std::size_t>(f.bits / 8);
  const std::size_t frame = width * static_cast<std::size_t>(std::max(f.channels, 1));
  for (std::size_t at = f.data; at + frame <= f.data + f.size; at += frame) {
    double sum = 0.0;
    for (int c = 0; c < f.channels; ++c)
      sum += sample_at(bytes.data() + at + static_cast<std::size_t>(c) * width, f);
    if (!mix.add(sum)) break;
  }
  Result<AudioInput> in = mix.finish();
  if (in) in->format = f.tag == 3 ? "WAV (Microsoft), Float" : "WAV (Microsoft), PCM";
  return in;
}

Result<AudioInput> read_audio_file(const std::string& path, const AudioLimits& limits) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return make_error(ErrorCode::BadFile, "cannot be opened (" + unopened_file_reason(path) + ")");
  std::ifstream file(path, std::ios::binary);
  if (!file)
    return make_error(ErrorCode::BadFile, "not an audio file that can be read (cannot be opened)");
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                        std::istreambuf_iterator<char>());
  return read_audio_memory(bytes, limits);
}

std::vector<std::string> audio_file_patterns() {
  return {"*.wav"};
}

bool is_audio_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  char head[12] = {};
  file.read(head, sizeof head);
  return file && !std::memcmp(head, "RIFF", 4) && !std::memcmp(head + 8, "WAVE", 4);
}

}  // namespace brisca
