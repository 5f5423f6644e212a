// The sounds a kit (a playlist) stands for, under one rule every command and the window share:
// a folder entry gives the sound files of the folder in the list's order; a missing or unreadable
// entry is named and skipped, the rest goes on; a file listed more than once is taken once, at
// its first place; a playlist that gives no sound at all is named.
#pragma once

#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "soundlist/playlist.h"

namespace brisca {

struct KitNote {
  enum class Kind { Skipped, Repeated, Empty };
  Kind kind = Kind::Skipped;
  std::string name;    // Skipped: the entry's path; Repeated: the file's name; Empty: the kit's
  std::string reason;  // Skipped: why ("no such file")
  int times = 0;       // Repeated: how often the kit lists the file
};

// What is told of a note, the same words everywhere; `verb` says what the command does with a
// repeated file once ("sent" gives "hat.mid is listed twice; sent once").
std::string kit_note_text(const KitNote& note, std::string_view verb);

struct KitSounds {
  std::vector<std::string> paths;        // each sound file once, in the kit's order
  std::vector<bool> in_folder;           // by path: given by a folder entry (not named on its own)
  std::vector<KitNote> notes;            // in the order met
  std::vector<PlaylistEntry> playlists;  // entries that are playlists: not followed
  // An entry was skipped or nothing was given: the command has not done all it was asked.
  bool failed() const;
};

// The files of `playlist`'s entries; an entry that is itself a playlist is set apart (the caller
// says it is not followed). With a `kit_name`, a playlist giving no sound has an Empty note.
KitSounds kit_sounds(const Playlist& playlist, const std::string& kit_name);
// The file name of a playlist's path ("kit.m3u"), as its notes name it.
std::string kit_name_of(const std::string& playlist_path);

// The files of a folder, not its sub-folders nor the temporary files of writes, in the list's
// case-insensitive order; `ec` is set when the folder cannot be read.
std::vector<std::string> folder_file_paths(const std::string& folder, std::error_code& ec);

}  // namespace brisca
