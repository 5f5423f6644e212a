#include "soundfile/missing_blocks.h"

namespace brisca {

std::string missing_blocks(const std::vector<bool>& seen, std::size_t first, std::size_t end,
                           std::size_t max_ranges) {
  std::string text;
  std::size_t ranges = 0;
  std::size_t left_out = 0;
  auto arrived = [&](std::size_t n) { return n < seen.size() && seen[n]; };
  for (std::size_t n = first; n < end;) {
    if (arrived(n)) {
      ++n;
      continue;
    }
    std::size_t last = n;
    while (last + 1 < end && !arrived(last + 1)) ++last;
    if (ranges < max_ranges) {
      if (!text.empty()) text += ", ";
      text += std::to_string(n);
      if (last > n) {
        text += '-';  // appended apart: GCC 12 at -O3 warns falsely on "-" + string
        text += std::to_string(last);
      }
    } else {
      left_out += last - n + 1;
    }
    ++ranges;
    n = last + 1;
  }
  if (left_out > 0) text += ", ... (" + std::to_string(left_out) + " more)";
  return text;
}

}  // namespace brisca
