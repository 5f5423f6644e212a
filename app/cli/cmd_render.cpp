// briscatool render SOUND -o OUT.wav: writes every sample that preview would play of a sound
// file as a 44 100 Hz 16-bit mono WAV file, and prints its duration.
#include <sndfile.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>

#include "app/cli/cli.h"
#include "preview/block_source.h"
#include "preview/decoder.h"
#include "preview/kernel.h"
#include "soundfile/atomic_file.h"
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

// A plain file is written to a temporary file beside it and renamed at the end, so a failure
// half-way leaves no partial file; a device or pipe named as the output is written directly.
std::optional<AtomicFile> open_output(const std::string& out_path, std::string& error) {
  std::error_code ec;
  if (fs::exists(out_path, ec) && !fs::is_regular_file(out_path, ec) &&
      !fs::is_directory(out_path, ec))
    return std::nullopt;
  auto file = AtomicFile::create(out_path);
  if (!file) error = std::string("cannot be written (") + std::strerror(errno) + ")";
  return file;
}

// Writes the samples of `source` as WAV; nothing, with the reason in `error`, on a failure.
std::optional<std::size_t> write_wav(BlockSource& source, const std::string& out_path,
                                     std::string& error) {
  std::optional<AtomicFile> file = open_output(out_path, error);
  if (!error.empty()) return std::nullopt;
  SF_INFO format{};
  format.samplerate = kOutputRate;
  format.channels = 1;
  format.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* wav = file ? sf_open_fd(file->fd(), SFM_WRITE, &format, SF_FALSE)
                      : sf_open(out_path.c_str(), SFM_WRITE, &format);
  if (wav == nullptr) {
    error = std::string("cannot be written (") + sf_strerror(nullptr) + ")";
    return std::nullopt;
  }
  bool write_failed = false;
  const std::size_t samples = play_out(source, [&](const std::int16_t* data, std::size_t count) {
    const auto n = static_cast<sf_count_t>(count);
    if (!write_failed && sf_write_short(wav, data, n) != n) write_failed = true;
  });
  std::string write_error = write_failed ? sf_strerror(wav) : "";
  if (sf_close(wav) != 0) write_failed = true;
  if (file && write_failed) file->fail(EIO);
  if (file && !file->commit() && !write_failed) {
    write_failed = true;
    write_error = std::strerror(errno);
  }
  if (write_failed) {
    error = "writing failed" + (write_error.empty() ? "" : " (" + write_error + ")");
    return std::nullopt;
  }
  return samples;
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
  if (!track && track.code() == ErrorCode::BadFile) {
    io.err << file_name_of(sound) << ": " << track.message() << '\n';
    return kFailed;
  }
  if (!track) {
    io.err << sound << ": cannot be opened (" << unopened_file_reason(sound) << ")" << '\n';
    return kFailed;
  }
  if (same_file(sound, out_path)) {
    io.err << out_path << ": is the sound file itself; choose another output file\n";
    return kFailed;
  }

  build_kernel();
  BlockSource source(std::move(*track));
  std::string error;
  const auto samples = write_wav(source, out_path, error);
  if (!samples) {
    io.err << out_path << ": " << error << '\n';
    return kFailed;
  }
  io.out << duration_line(out_path, *samples) << '\n';
  return kOk;
}

}  // namespace brisca::cli
