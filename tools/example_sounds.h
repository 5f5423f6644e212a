// The example drum sounds, as 44.1 kHz 16-bit samples: what tools/make_examples encodes into
// examples/*.mid, and what the tests compare the decoded files against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brisca::examples {

struct ExampleSound {
  std::string file;  // "kick.mid"
  std::string name;  // the header block's name
  std::string type;  // the header block's four-character type
  std::vector<std::int16_t> samples;
};

std::vector<std::int16_t> kick();
std::vector<std::int16_t> snare();
std::vector<std::int16_t> closed_hat();
std::vector<std::int16_t> clap();
std::vector<std::int16_t> tom();

std::vector<ExampleSound> all_examples();

// A longer sound for timing: the five sounds in a repeating one-bar pattern for `seconds`.
std::vector<std::int16_t> drum_loop(double seconds);

}  // namespace brisca::examples
