#include "app/cli/playlist_args.h"

#include <ostream>

#include "soundlist/kit.h"
#include "soundlist/playlist.h"

namespace brisca::cli {

ExpandedPaths expand_playlists(const std::vector<std::string>& paths, std::ostream& err,
                               std::string_view verb) {
  ExpandedPaths out;
  for (const std::string& path : paths) {
    if (!is_playlist_name(path)) {
      out.paths.push_back(path);
      continue;
    }
    const Result<Playlist> playlist = read_playlist(path);
    if (!playlist) {
      err << path << ": the playlist " << playlist.message() << '\n';
      out.failed = true;
      continue;
    }
    for (const std::string& problem : playlist->problems) err << path << ", " << problem << '\n';
    out.failed = out.failed || !playlist->problems.empty();
    const KitSounds kit = kit_sounds(*playlist, kit_name_of(path));
    for (const PlaylistEntry& entry : kit.playlists)
      err << path << ", line " << entry.line << ": " << entry.path
          << ": a playlist inside a playlist is not followed\n";
    out.failed = out.failed || !kit.playlists.empty();
    out.paths.insert(out.paths.end(), kit.paths.begin(), kit.paths.end());
    for (const KitNote& note : kit.notes) err << kit_note_text(note, verb) << '\n';
    out.failed = out.failed || kit.failed();
  }
  return out;
}

}  // namespace brisca::cli
