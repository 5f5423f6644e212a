// The node command line of the WebAssembly build: `info`, `render` and `import` of the desktop
// program's command line, over node's file system, from the same core and the same parsers.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>

#include "app/cli/cli.h"
#include "preview/decoder.h"
#include "soundfile/atomic_file.h"
#include "web/core/wav_out.h"

namespace brisca::cli {
namespace {

namespace fs = std::filesystem;

bool same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

int node_render(const Args& args, Streams io) {
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
  std::vector<std::int16_t> samples;
  std::string error;
  if (!render_samples(sound, samples, error)) {
    io.err << error << '\n';
    return kFailed;
  }
  if (same_file(sound, out_path)) {
    io.err << out_path << ": is the sound file itself; choose another output file\n";
    return kFailed;
  }
  if (!write_file_atomic(out_path, wav_bytes(samples, kOutputRate))) {
    io.err << out_path << ": cannot be written\n";
    return kFailed;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.3f s, %zu samples",
                static_cast<double>(samples.size()) / kOutputRate, samples.size());
  io.out << out_path << ": " << text << '\n';
  return kOk;
}

// The import at the default pace: the node command line keeps no remembered MIDI output.
int node_import(const Args& args, Streams io) {
  ImportCommandOptions o;
  if (const int status = parse_import(args, io, o); status >= 0) return status;
  return run_import(o, io);
}

void usage(std::ostream& out) {
  out << "Usage: node briscatool-node.js COMMAND [OPTIONS] [ARGS...]\n\nCommands:\n"
         "  info      block counts, header names and types of sound files\n"
         "  render    write what preview plays of a sound as a WAV file\n"
         "  import    make sound files of audio files\n";
}

}  // namespace
}  // namespace brisca::cli

int main(int argc, char** argv) {
  using namespace brisca::cli;
  Streams io{std::cout, std::cerr};
  const std::string_view word = argc > 1 ? argv[1] : "";
  const Args args(argv + (argc > 1 ? 2 : 1), argv + argc);
  int status = kUsage;
  if (word == "info") {
    status = cmd_info(args, io);
  } else if (word == "render") {
    status = node_render(args, io);
  } else if (word == "import") {
    status = node_import(args, io);
  } else if (word == "--help" || word == "-h") {
    usage(std::cout);
    status = kOk;
  } else {
    usage(std::cerr);
  }
  std::cout.flush();
  return status;
}
