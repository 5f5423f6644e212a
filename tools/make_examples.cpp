// Writes the example sound files:
//   make_examples OUTDIR                  kick.mid, snare.mid, hat.mid, clap.mid, tom.mid
//   make_examples --loop SECONDS FILE     a drum loop of that length (for timing render)
// Each file is a header block (name, type "DRUM", total_blocks) and then data blocks of pitch
// byte 0, made by the sound encoder of import, so they play back the sound as made.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "import/encoder.h"
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
  std::vector<float> source(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) source[i] = samples[i] / 32768.0f;
  const brisca::EncodedSound sound = brisca::encode_sound(source);
  std::vector<brisca::Bytes> messages{
      brisca::make_header_block(name, "DRUM", static_cast<int>(sound.blocks.size()) + 1)};
  for (std::size_t k = 0; k < sound.blocks.size(); ++k)
    messages.push_back(brisca::make_block(static_cast<std::uint16_t>(k + 1), sound.blocks[k]));
  const brisca::Bytes file = brisca::make_smf0(messages);
  if (!brisca::write_file(path, file)) {
    std::fprintf(stderr, "%s: cannot be written\n", path.c_str());
    return false;
  }
  std::printf("%s: %zu samples, %zu bytes, SNR %.1f dB\n", path.c_str(), samples.size(),
              file.size(), sound.snr_db);
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
