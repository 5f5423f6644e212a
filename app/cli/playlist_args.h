// Playlists among the paths of a command: a playlist (.m3u) stands for the files it lists, in
// its order.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace brisca::cli {

struct ExpandedPaths {
  std::vector<std::string> paths;  // the paths given, each playlist replaced by its sounds
  bool failed = false;             // a playlist or an entry of one could not be taken
};

// Replaces each playlist in `paths` by the sounds it gives (soundlist/kit.h): its folder entries
// expanded, each file once. A playlist that cannot be read, a line that names no local file, an
// entry skipped, a playlist giving no sound and a playlist listed in a playlist are told on `err`
// and set `failed`; a file listed again is told with `verb` ("listed", "played") and is no
// failure. Entries that are files are only known to open; the command reads them.
ExpandedPaths expand_playlists(const std::vector<std::string>& paths, std::ostream& err,
                               std::string_view verb);

}  // namespace brisca::cli
