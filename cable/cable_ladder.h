// The paces the cable test tries, and how it names them: the desktop's test and the page's share
// them. No MIDI, no Qt.
#pragma once

#include <string>
#include <vector>

#include "pace/pace.h"

namespace brisca {

// 200-, 100- and 50-byte chunks every 70, 100 and 140 ms, fastest first; of two equally fast,
// the one with the longer interval (bigger chunks).
std::vector<Pace> cable_ladder();
// `first`, then the paces of the ladder slower than it, fastest first: what a test that starts
// at `first` tries when it fails.
std::vector<Pace> cable_paces_from(const Pace& first);
// "200-byte chunks every 70 ms".
std::string chunk_pace_text(const Pace& pace);

}  // namespace brisca
