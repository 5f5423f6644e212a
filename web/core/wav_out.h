// The decoder's samples of a sound file, and the 44 100 Hz 16-bit mono WAV file that holds them,
// for the WebAssembly build (which writes WAV itself: it has no libsndfile).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brisca {

// Every sample preview plays of the sound file at `path`; false, with the text the command line
// shows in `error`, when it cannot be read.
bool render_samples(const std::string& path, std::vector<std::int16_t>& samples,
                    std::string& error);

// A canonical WAV file: RIFF header, 16-byte fmt chunk, data chunk.
std::vector<std::uint8_t> wav_bytes(const std::vector<std::int16_t>& samples, int rate);

}  // namespace brisca
