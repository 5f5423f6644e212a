// The block numbers a sound lacks, as a short text for the user: "3, 7-9, 12".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace brisca {

// `seen[n]` tells whether block n arrived; numbers from `first` to `end` - 1 are looked at.
// At most `max_ranges` ranges are written; more are summed up as ", ... (N more)".
std::string missing_blocks(const std::vector<bool>& seen, std::size_t first, std::size_t end,
                           std::size_t max_ranges = 12);

}  // namespace brisca
