// Feeds arbitrary bytes to the playlist reader as a playlist in /kit/: it must end, stay in
// bounds, give entries without NUL bytes in line order, and what it gives must come back the
// same when written as a playlist and read again.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "soundlist/playlist.h"

namespace {

// The form a path takes once written and read back: lexically normal, no '/' at the end.
std::string written_form(const std::string& path) {
  std::string normal = std::filesystem::path(path).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brisca;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Playlist playlist = parse_playlist(text, "/kit/");
  std::size_t last_line = 0;
  std::vector<std::string> paths;
  for (const PlaylistEntry& entry : playlist.entries) {
    if (entry.path.empty() || entry.path.front() != '/') __builtin_trap();
    if (entry.path.find('\0') != std::string::npos) __builtin_trap();
    if (entry.line <= last_line) __builtin_trap();
    last_line = entry.line;
    paths.push_back(entry.path);
  }
  const Playlist again = parse_playlist(playlist_text(paths, "/kit/kit.m3u"), "/kit");
  if (!again.problems.empty() || again.entries.size() != paths.size()) __builtin_trap();
  for (std::size_t i = 0; i < paths.size(); ++i)
    if (written_form(again.entries[i].path) != written_form(paths[i])) __builtin_trap();
  return 0;
}
