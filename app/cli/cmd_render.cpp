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
  std::string sound, out_path;
  auto app =
      make_command("render",
                   "Writes every sample that preview plays of a sound file as a 44 100 Hz 16-bit "
                   "mono WAV file.");
  app->add_option("SOUND", sound, "the sound file")->required()->type_name("");
  app->add_option("-o,--output", out_path, "the WAV file to write")
      ->required()
      ->type_name("OUT.wav");
  if (const int status = parse_command(*app, args, io); status >= 0) return status;

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
