// The check made before a down-load's first byte: every selected file is read through, so that a
// damaged one is named before anything reaches the module rather than cut short half-way.
#pragma once

#include <string>
#include <vector>

#include "soundlist/sound_list.h"

namespace brisca {

struct DamagedFile {
  int row = 0;
  std::string name;     // the row's text
  std::string problem;  // "ends after 13 of 27 blocks"
};

// The selected rows whose files are not whole, top row first. A file that cannot be opened, or
// whose headers are bad, is left to the down-load, which tells it as it comes to it.
std::vector<DamagedFile> damaged_selection(const SoundList& list);

// The window's box: "These selected files are damaged; nothing was sent:" and one line each.
std::string damaged_box_text(const std::vector<DamagedFile>& damaged);

}  // namespace brisca
