// Writing received sounds into a folder as new files. A file is named from the sound's name,
// with characters that cannot stand in a file name replaced; a name already taken gets " (2)",
// " (3)", ... A file is written under a temporary name and then moved to its name without
// replacing anything there (AtomicFile), so an existing file is never overwritten and a crash
// leaves no half-written file under a sound's name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace brisca {

// The sound's name as a file name stem: '/', '\\', control characters, bytes above 0x7E and the
// characters Windows refuses (: * ? " < > |) become '_', as does every "..". Blanks and dots at
// either end are dropped. "Unnamed" when nothing is left.
std::string file_stem(std::string_view sound_name);

// "Stem.mid", "Stem (2).mid", ...; partial sounds "Stem (partial).mid", "Stem (partial) (2).mid".
std::string sound_file_name(const std::string& stem, bool partial, int copy);

// The messages of a sound laid out as a format-0 Standard MIDI File, each one a System
// Exclusive event. `ends[i]` is where message i ends in `bytes` (each begins with F0).
struct SoundMessages {
  const std::vector<std::uint8_t>& bytes;
  const std::vector<std::uint32_t>& ends;
};

// Fails when no sound could be written into `folder`; the message says why in a few words
// ("is not a folder", "cannot be written: Permission denied"). A file is made there and removed
// again, so that every cause (permissions, a read-only mount, a full disk's inode table) shows.
Status check_folder_writable(const std::string& folder);

// Writes the sound into `folder` under the first free name: the path of the file written. Never
// replaces a file.
Result<std::string> write_sound_file(const std::string& folder, const std::string& stem,
                                     bool partial, const SoundMessages& messages);

}  // namespace brisca
