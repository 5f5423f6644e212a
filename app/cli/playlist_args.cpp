#include "app/cli/playlist_args.h"

#include <ostream>

#include "soundlist/playlist.h"

namespace brisca::cli {

ExpandedPaths expand_playlists(const std::vector<std::string>& paths, std::ostream& err) {
  ExpandedPaths out;
  for (const std::string& path : paths) {
    if (!is_playlist_name(path)) {
      out.paths.push_back(path);
      continue;
    }
    const PlaylistFile file = read_playlist(path);
    if (!file.ok) {
      err << path << ": the playlist " << file.error << '\n';
      out.failed = true;
      continue;
    }
    for (const std::string& problem : file.playlist.problems)
      err << path << ", " << problem << '\n';
    out.failed = out.failed || !file.playlist.problems.empty();
    for (const PlaylistEntry& entry : file.playlist.entries) {
      if (is_playlist_name(entry.path)) {
        err << path << ", line " << entry.line << ": " << entry.path
            << ": a playlist inside a playlist is not followed\n";
        out.failed = true;
        continue;
      }
      out.paths.push_back(entry.path);
    }
  }
  return out;
}

}  // namespace brisca::cli
