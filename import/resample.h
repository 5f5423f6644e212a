// Sample-rate conversion with libsoxr at its high quality setting (linear phase, the filter's
// delay removed), so the result lines up with the source sample for sample.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace brisca {

// The source at `from_hz` as samples at `to_hz`: about size x to_hz / from_hz of them (at least
// one for a source of at least one sample). Equal rates copy the source. On a resampler failure
// the result is empty and `error` (when given) says why.
std::vector<float> resample(std::span<const float> source, double from_hz, double to_hz,
                            std::string* error = nullptr);

}  // namespace brisca
