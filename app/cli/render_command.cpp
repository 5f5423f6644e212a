// briscatool render SOUND -o OUT.wav: its options, its checks of the sound and the output, and
// its report, shared by the desktop program and the node command line, which write the WAV file
// each their own way.
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <system_error>

#include "app/cli/cli.h"
#include "preview/block_source.h"
#include "preview/decoder.h"
#include "preview/kernel.h"
#include "soundfile/byte_stream.h"
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

int render_command(const Args& args, Streams io, const WavWriter& write) {
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
  const auto samples = write(source, out_path, error);
  if (!samples) {
    io.err << out_path << ": " << error << '\n';
    return kFailed;
  }
  io.out << duration_line(out_path, *samples) << '\n';
  return kOk;
}

}  // namespace brisca::cli
