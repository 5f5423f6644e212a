// Writes the example sound files:
//   make_examples OUTDIR                  kick.mid, snare.mid, hat.mid, clap.mid, tom.mid
//   make_examples --loop SECONDS FILE     a drum loop of that length (for timing render)
// Each file is a header block (name, type "DRUM", total_blocks) and then data blocks of pitch
// byte 0, encoded against the decoder so that it plays the sound back as made.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "preview/block_encoder.h"
#include "preview/kernel.h"
#include "soundfile/sound_writer.h"
#include "tools/example_sounds.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "Usage: make_examples OUTDIR\n"
               "       make_examples --loop SECONDS FILE\n");
  return 2;
}

bool write_sound(const std::string& path, const std::string& name,
                 const std::vector<std::int16_t>& samples) {
  const brisca::Bytes file = brisca::make_sound_file(name, "DRUM", samples);
  if (!brisca::write_file(path, file)) {
    std::fprintf(stderr, "%s: cannot be written\n", path.c_str());
    return false;
  }
  std::printf("%s: %zu samples, %zu bytes\n", path.c_str(), samples.size(), file.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  brisca::build_kernel();
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "--loop") {
    const double seconds = std::atof(args[1].c_str());
    if (!(seconds > 0.0 && seconds <= 600.0)) return usage();
    return write_sound(args[2], "Drum Loop", brisca::examples::drum_loop(seconds)) ? 0 : 1;
  }
  if (args.size() != 1 || args[0].empty() || args[0][0] == '-') return usage();
  bool ok = true;
  for (const auto& sound : brisca::examples::all_examples())
    ok = write_sound(args[0] + "/" + sound.file, sound.name, sound.samples) && ok;
  return ok ? 0 : 1;
}
