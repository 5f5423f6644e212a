// The shape of an imported sound: its rate through the pitch byte, the trimming of its silent
// end, and its name and type as the header block holds them.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brisca {

// Pitch bytes whose rates preview plays in full: 0 (44 100 Hz) to 32 (2 756.25 Hz, a sixteenth).
// A larger byte yields more samples per block than a preview buffer holds; a negative one takes
// one input sample per output sample all the same, so it gives no higher rate.
inline constexpr int kMaxImportPitch = 32;
inline constexpr double kTopRate = 44100.0;

// The rates a user may ask for, in whole hertz: 2 757 (pitch 32's rate rounded up) to 44 100.
inline constexpr double kLowestImportRate = 2757.0;

// 44 100 x 2^(-b/8) Hz.
double rate_for_pitch(int pitch);
// The pitch byte in 0..32 whose rate is nearest to `hz`; nothing outside kLowestImportRate to
// kTopRate.
std::optional<int> pitch_for_rate(double hz);

// Trailing samples below this magnitude are cut by default: -70 dBFS, about ten steps of a
// 16-bit sample, well under what a drum module's output makes audible.
inline constexpr float kSilenceThreshold = 3.1623e-4f;
// The number of samples to keep: up to and including the last one at or above the threshold,
// and at least one.
std::size_t trimmed_length(std::span<const float> samples, float threshold = kSilenceThreshold);

inline constexpr std::size_t kNameBytes = 31;
// A header name from any UTF-8 text: printable ASCII is kept; letters with accents and a few
// ligatures and quotation marks are spelt in ASCII (é e, ß ss, Æ AE, “ "); every other character,
// and every byte that is not UTF-8, becomes '_'. Cut to 31 bytes.
std::string header_name_from(std::string_view utf8);
// The name a file gives: its name without folder and without its last extension.
std::string header_name_for_file(std::string_view path);
// A type is exactly four printable ASCII characters.
bool valid_type(std::string_view type);

}  // namespace brisca
