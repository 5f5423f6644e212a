// Playlists among the paths of a command: a playlist (.m3u) stands for the files it lists, in
// its order.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace brisca::cli {

struct ExpandedPaths {
  std::vector<std::string> paths;  // the paths given, each playlist replaced by its entries
  bool failed = false;             // a playlist or an entry of one could not be taken
};

// Replaces each playlist in `paths` by the paths it lists. A playlist that cannot be read, a line
// that names no local file and a playlist listed in a playlist are told on `err` and set
// `failed`; entries are not checked here (the command opens them and tells what fails).
ExpandedPaths expand_playlists(const std::vector<std::string>& paths, std::ostream& err);

}  // namespace brisca::cli
