// The node command line of the WebAssembly build: `info`, `render` and `import` of the desktop
// program's command line, over node's file system, from the same core and the same parsers.
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/cli.h"
#include "preview/block_source.h"
#include "preview/decoder.h"
#include "soundfile/atomic_file.h"
#include "web/core/wav_out.h"

namespace brisca::cli {
namespace {

// The WAV file written whole at the end (this build has no libsndfile).
std::optional<std::size_t> write_wav(BlockSource& source, const std::string& out_path,
                                     std::string& error) {
  std::vector<std::int16_t> samples;
  play_out(source, [&](const std::int16_t* data, std::size_t count) {
    samples.insert(samples.end(), data, data + count);
  });
  if (write_file_atomic(out_path, wav_bytes(samples, kOutputRate))) return samples.size();
  error = "cannot be written";
  return std::nullopt;
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
    status = render_command(args, io, write_wav);
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
