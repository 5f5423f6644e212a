#include "web/core/wav_out.h"

#include "preview/block_source.h"
#include "preview/kernel.h"
#include "soundfile/byte_stream.h"
#include "soundfile/track_reader.h"

namespace brisca {
namespace {

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put_tag(std::vector<std::uint8_t>& out, const char* tag) {
  out.insert(out.end(), tag, tag + 4);
}

}  // namespace

bool render_samples(const std::string& path, std::vector<std::int16_t>& samples,
                    std::string& error) {
  auto track = TrackReader::open(path);
  if (!track && track.code() == ErrorCode::BadFile) {
    error = std::string(file_name_of(path)) + ": " + track.message();
    return false;
  }
  if (!track) {
    error = path + ": cannot be opened (" + unopened_file_reason(path) + ")";
    return false;
  }
  build_kernel();
  BlockSource source(std::move(*track));
  play_out(source, [&](const std::int16_t* data, std::size_t count) {
    samples.insert(samples.end(), data, data + count);
  });
  return true;
}

std::vector<std::uint8_t> wav_bytes(const std::vector<std::int16_t>& samples, int rate) {
  const auto data = static_cast<std::uint32_t>(samples.size() * 2);
  std::vector<std::uint8_t> out;
  out.reserve(44 + data);
  put_tag(out, "RIFF");
  put32(out, 36 + data);
  put_tag(out, "WAVE");
  put_tag(out, "fmt ");
  put32(out, 16);
  put16(out, 1);  // integer PCM
  put16(out, 1);  // mono
  put32(out, static_cast<std::uint32_t>(rate));
  put32(out, static_cast<std::uint32_t>(rate) * 2);
  put16(out, 2);
  put16(out, 16);
  put_tag(out, "data");
  put32(out, data);
  for (std::int16_t s : samples) put16(out, static_cast<std::uint16_t>(s));
  return out;
}

}  // namespace brisca
