// Where the window puts the sound files it imports: next to each audio file, or in one folder
// chosen here and remembered.
#pragma once

#include <optional>
#include <string>

class QWidget;

namespace brisca {

class SettingsStore;

// The name of the remembered folder in the settings store; empty or absent: next to the audio.
inline constexpr const char* kImportFolderValue = "ImportFolder";

std::string remembered_import_folder(SettingsStore* store);

// Asks with `current` shown; the choice ("" for next to each audio file), or nothing when
// cancelled.
std::optional<std::string> choose_import_folder(QWidget* parent, const std::string& current);

}  // namespace brisca
