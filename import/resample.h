// Sample-rate conversion with libsoxr at its high quality setting (linear phase, the filter's
// delay removed), so the result lines up with the source sample for sample.
#pragma once

#include <span>
#include <vector>

#include "common/result.h"

namespace brisca {

// The source at `from_hz` as samples at `to_hz`: about size x to_hz / from_hz of them (at least
// one for a source of at least one sample). Equal rates copy the source. Fails (Unsupported, with
// the resampler's reason) when the resampler refuses the rates.
Result<std::vector<float>> resample(std::span<const float> source, double from_hz, double to_hz);

}  // namespace brisca
