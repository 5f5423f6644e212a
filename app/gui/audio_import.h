// Choosing audio files for the Import Audio dialog: the Open dialog for audio files, and the
// audio files of a folder.
#pragma once

#include <string>
#include <vector>

class QWidget;

namespace brisca {

// The Open dialog for audio files; the chosen paths, none when cancelled.
std::vector<std::string> choose_audio_files(QWidget* parent);

// Asks for a folder (starting in `start`) and returns the audio files directly in it, sorted by
// name; `folder` is set to the folder chosen (empty when cancelled).
std::vector<std::string> choose_audio_folder(QWidget* parent, const std::string& start,
                                             std::string& folder);

}  // namespace brisca
