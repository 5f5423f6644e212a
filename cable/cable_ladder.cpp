#include "cable/cable_ladder.h"

#include <algorithm>

namespace brisca {
namespace {

// Bytes per millisecond compared without division: whether `a` is faster than `b`.
bool faster(const Pace& a, const Pace& b) {
  return a.chunk_bytes * b.interval_ms > b.chunk_bytes * a.interval_ms;
}

}  // namespace

std::vector<Pace> cable_ladder() {
  std::vector<Pace> paces;
  for (int chunk : {200, 100, 50})
    for (int interval : {70, 100, 140}) paces.push_back(Pace{chunk, interval, 0});
  std::stable_sort(paces.begin(), paces.end(), faster);
  return paces;
}

std::vector<Pace> cable_paces_from(const Pace& first) {
  std::vector<Pace> paces{Pace{first.chunk_bytes, first.interval_ms, 0}};
  for (const Pace& p : cable_ladder())
    if (faster(paces.front(), p)) paces.push_back(p);
  return paces;
}

std::string chunk_pace_text(const Pace& pace) {
  return std::to_string(pace.chunk_bytes) + "-byte chunks every " +
         std::to_string(pace.interval_ms) + " ms";
}

}  // namespace brisca
