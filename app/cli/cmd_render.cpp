// briscatool render SOUND -o OUT.wav: writes every sample that preview would play of a sound
// file as a 44 100 Hz 16-bit mono WAV file (with libsndfile), and prints its duration.
#include <sndfile.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>

#include "app/cli/cli.h"
#include "preview/block_source.h"
#include "preview/decoder.h"
#include "soundfile/atomic_file.h"

namespace brisca::cli {
namespace {

namespace fs = std::filesystem;

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
  return render_command(args, io, write_wav);
}

}  // namespace brisca::cli
