// Kits as M3U playlists: the paths a playlist lists, in order, and a list's paths written as
// one. A playlist is plain text, one entry a line; lines that begin with '#' are comments (the
// first, "#EXTM3U", marks the extended form). An entry is a path, relative to the playlist's
// folder unless it begins with '/', or a "file://" URL.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace brisca {

// True for a name ending in ".m3u" or ".m3u8", in any case.
bool is_playlist_name(std::string_view path);

struct PlaylistEntry {
  std::string path;      // the folder joined to a relative entry, a URL decoded; normal form
  std::size_t line = 0;  // 1 for the first line
};

struct Playlist {
  std::vector<PlaylistEntry> entries;  // in the playlist's order
  // Lines that name no local file, each as "line N: why" (an http:// URL, a NUL byte).
  std::vector<std::string> problems;
};

// The bytes read as a playlist of the folder `folder` (with or without a '/' at the end). A
// byte-order mark and Windows or old Mac line ends are taken; blanks around an entry are not
// part of it.
Playlist parse_playlist(std::string_view text, std::string_view folder);

// A playlist file read and parsed, or why it could not be ("cannot be read (...)", "is too
// large to be a playlist", "holds binary data, not a playlist").
inline constexpr std::size_t kMaxPlaylistBytes = 16 << 20;
Result<Playlist> read_playlist(const std::string& path);

// The text of a playlist at `playlist_path` listing `paths` in order: "#EXTM3U", then one line
// each, relative to the playlist's folder when the file lies under it, else absolute. Relative
// paths in `paths` are taken from the current folder. A path that a plain line would not give
// back (a name with a line break, or blanks at its ends) is written as a file:// URL, a
// relative one beginning with '#' as "./#..."; so is one that is not UTF-8, so that the text
// is. With `playlist_path` empty every line is absolute.
std::string playlist_text(const std::vector<std::string>& paths, const std::string& playlist_path);

// Writes that text to `playlist_path` so that it appears whole or not at all. False, with errno
// set, when it could not be written; an existing playlist is then untouched.
bool write_playlist(const std::string& playlist_path, const std::vector<std::string>& paths);

}  // namespace brisca
