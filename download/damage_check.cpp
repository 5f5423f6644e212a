#include "download/damage_check.h"

#include "soundfile/sound_check.h"
#include "soundfile/track_reader.h"

namespace brisca {

std::vector<DamagedFile> damaged_selection(const SoundList& list) {
  std::vector<DamagedFile> damaged;
  for (int row = 0, count = list.count(); row < count; ++row) {
    if (!list.row(row).selected) continue;
    Result<TrackReader> track = TrackReader::open(list.full_path(row));
    if (!track) continue;
    const Status whole = check_sound(*track).whole();
    if (!whole) damaged.push_back({row, list.row(row).name, whole.message()});
  }
  return damaged;
}

std::string damaged_box_text(const std::vector<DamagedFile>& damaged) {
  std::string text = "These selected files are damaged; nothing was sent:\n";
  for (const DamagedFile& file : damaged) text += "\n" + file.name + ": " + file.problem;
  return text + "\n\nClear them from the selection to send the others.";
}

}  // namespace brisca
