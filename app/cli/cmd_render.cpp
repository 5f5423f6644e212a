// briscatool render SOUND -o OUT.wav: writes every sample that preview would play of a sound
// file as a 44 100 Hz 16-bit mono WAV file, and prints its duration.
#include <sndfile.h>

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <system_error>

#include "app/cli/cli.h"
#include "preview/block_source.h"
#include "preview/decoder.h"
#include "preview/kernel.h"
#include "soundfile/track_reader.h"

namespace brisca::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsageText = "Usage: briscatool render SOUND -o OUT.wav\n";

bool same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

std::string duration_line(const std::string& out_path, std::size_t samples) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f s, %zu samples",
                static_cast<double>(samples) / kOutputRate, samples);
  return out_path + ": " + text;
}

}  // namespace

int cmd_render(const Args& args, Streams io) {
  Parsed p = parse_args(args, {"help"}, {"o", "output"});
  if (p.has("help")) {
    io.out << kUsageText;
    return kOk;
  }
  const std::string out_path = p.value("o", p.value("output"));
  std::string problem = p.error;
  if (problem.empty() && p.positional.size() != 1)
    problem = p.positional.empty() ? "no SOUND given" : "give one SOUND";
  if (problem.empty() && out_path.empty()) problem = "no output file given (-o OUT.wav)";
  if (!problem.empty()) {
    io.err << "briscatool render: " << problem << '\n' << kUsageText;
    return kUsage;
  }
  const std::string& sound = p.positional.front();

  auto track = TrackReader::open(sound);
  if (!track) {
    std::error_code ec;
    io.err << sound << ": cannot be opened"
           << (fs::exists(sound, ec) ? " (not a readable file)" : " (no such file)") << '\n';
    return kFailed;
  }
  if (!track->ok()) {
    io.err << file_name_of(sound) << ": " << file_error_text(track->open_result()) << '\n';
    return kFailed;
  }
  if (same_file(sound, out_path)) {
    io.err << out_path << ": is the sound file itself; choose another output file\n";
    return kFailed;
  }

  SF_INFO format{};
  format.samplerate = kOutputRate;
  format.channels = 1;
  format.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* wav = sf_open(out_path.c_str(), SFM_WRITE, &format);
  if (wav == nullptr) {
    io.err << out_path << ": cannot be written (" << sf_strerror(nullptr) << ")\n";
    return kFailed;
  }
  build_kernel();
  BlockSource source(std::move(*track));
  bool write_failed = false;
  const std::size_t samples = play_out(source, [&](const std::int16_t* data, std::size_t count) {
    const auto n = static_cast<sf_count_t>(count);
    if (!write_failed && sf_write_short(wav, data, n) != n) write_failed = true;
  });
  const std::string write_error = write_failed ? sf_strerror(wav) : "";
  if (sf_close(wav) != 0 && !write_failed) write_failed = true;
  if (write_failed) {
    io.err << out_path << ": writing failed"
           << (write_error.empty() ? "" : " (" + write_error + ")") << '\n';
    return kFailed;
  }
  io.out << duration_line(out_path, samples) << '\n';
  return kOk;
}

}  // namespace brisca::cli
