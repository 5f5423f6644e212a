#include "soundlist/playlist.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>

#include "soundfile/atomic_file.h"

namespace brisca {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kFileScheme = "file://";
constexpr std::size_t kShownEntry = 80;  // longer entries are cut in problem texts

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ends_with_folded(std::string_view s, std::string_view tail) {
  if (s.size() < tail.size()) return false;
  return std::equal(tail.begin(), tail.end(), s.end() - static_cast<std::ptrdiff_t>(tail.size()),
                    [](char a, char b) { return a == lower(b); });
}

// The scheme of a URL ("http" of "http://..."), empty when the entry is not one.
std::string_view url_scheme(std::string_view entry) {
  const std::size_t colon = entry.find("://");
  if (colon == std::string_view::npos || colon == 0) return {};
  const std::string_view scheme = entry.substr(0, colon);
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  auto scheme_char = [&](char c) {
    return letter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
  };
  if (!letter(scheme.front()) || !std::all_of(scheme.begin(), scheme.end(), scheme_char)) return {};
  return scheme;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = lower(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The path of a file:// URL on this machine, or nothing.
std::optional<std::string> file_url_path(std::string_view url) {
  std::string_view rest = url.substr(kFileScheme.size());
  const std::size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string_view host = rest.substr(0, slash);
  if (!host.empty() && host != "localhost") return std::nullopt;
  rest.remove_prefix(slash);
  std::string path;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] != '%') {
      path += rest[i];
      continue;
    }
    const int high = i + 2 < rest.size() ? hex_value(rest[i + 1]) : -1;
    const int low = high >= 0 ? hex_value(rest[i + 2]) : -1;
    if (low < 0) return std::nullopt;
    path += static_cast<char>(high * 16 + low);
    i += 2;
  }
  if (path.find('\0') != std::string::npos) return std::nullopt;
  return path;
}

std::string shown(std::string_view entry) {
  if (entry.size() <= kShownEntry) return std::string(entry);
  return std::string(entry.substr(0, kShownEntry)) + "...";
}

// The path in its lexically normal form, without a '/' at the end ("./a//b/../c/" is "a/c"), so
// that files of one folder share one folder text however the playlist spells it.
std::string normal_form(const std::string& path) {
  std::string normal = fs::path(path).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

void take_line(std::string_view line, std::size_t number, const std::string& base, Playlist& into) {
  const std::string_view entry = trimmed(line);
  if (entry.empty() || entry.front() == '#') return;
  const std::string where = "line " + std::to_string(number) + ": ";
  if (entry.find('\0') != std::string_view::npos) {
    into.problems.push_back(where + "holds a NUL byte, not a path");
    return;
  }
  const std::string_view scheme = url_scheme(entry);
  if (scheme.empty()) {
    into.entries.push_back(
        {normal_form(entry.front() == '/' ? std::string(entry) : base + std::string(entry)),
         number});
    return;
  }
  const bool file = scheme.size() == 4 && ends_with_folded(scheme, "file");
  std::optional<std::string> path = file ? file_url_path(entry) : std::nullopt;
  if (path) {
    into.entries.push_back({normal_form(*path), number});
  } else {
    into.problems.push_back(where + shown(entry) +
                            (file ? " is not a file URL of this machine" : " is not a local file"));
  }
}

// Bytes a file URL keeps as they are; every other byte is written %XX.
bool url_safe(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::strchr("-._~/!$&'()*+,;=:@", c) != nullptr;
}

std::string file_url(const std::string& absolute) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string url(kFileScheme);
  for (char ch : absolute) {
    const auto c = static_cast<unsigned char>(ch);
    if (c != 0 && url_safe(c)) {
      url += ch;
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 15];
    }
  }
  return url;
}

bool valid_utf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t length = c < 0x80         ? 1
                               : (c >> 5) == 6  ? 2
                               : (c >> 4) == 14 ? 3
                               : (c >> 3) == 30 ? 4
                                                : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}

// A line that a reader would not give back as `text` (line breaks, blanks at the ends), or that
// would make the playlist other than UTF-8 text.
bool needs_url(std::string_view text) {
  return text.find_first_of("\n\r") != std::string_view::npos || text.empty() ||
         is_blank(text.front()) || is_blank(text.back()) || !valid_utf8(text);
}

fs::path absolute_normal(const fs::path& path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  return (ec ? path : absolute).lexically_normal();
}

// The line for one path of a playlist in `folder` (absolute and normal; empty: every line
// absolute).
std::string entry_line(const std::string& path, const fs::path& folder) {
  const fs::path absolute = absolute_normal(path);
  const fs::path relative_path = folder.empty() ? fs::path() : absolute.lexically_relative(folder);
  const std::string relative = relative_path.string();
  const bool under = !relative_path.empty() && relative != "." && *relative_path.begin() != "..";
  if (needs_url(under ? relative : absolute.string())) return file_url(absolute.string());
  if (!under) return absolute.string();
  // A relative line that would read as a comment or a URL is anchored to the folder.
  if (relative.front() == '#' || !url_scheme(relative).empty()) return "./" + relative;
  return relative;
}

}  // namespace

bool is_playlist_name(std::string_view path) {
  return ends_with_folded(path, ".m3u") || ends_with_folded(path, ".m3u8");
}

Playlist parse_playlist(std::string_view text, std::string_view folder) {
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
    text.remove_prefix(kByteOrderMark.size());
  std::string base(folder);
  if (!base.empty() && base.back() != '/') base += '/';
  Playlist playlist;
  std::size_t number = 0;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    take_line(text.substr(start, end - start), ++number, base, playlist);
    const bool crlf = end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n';
    start = end + (crlf ? 2 : 1);
  }
  return playlist;
}

Result<Playlist> read_playlist(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    const int why = errno;
    if (fd >= 0) ::close(fd);
    return make_error(why == ENOENT ? ErrorCode::NotFound : ErrorCode::Io,
                      std::string("cannot be read (") + std::strerror(why) + ")");
  }
  std::string text;
  std::optional<Error> error;
  if (!S_ISREG(st.st_mode)) {
    error = make_error(ErrorCode::BadFile, "is not a file");
  } else if (static_cast<std::size_t>(st.st_size) > kMaxPlaylistBytes) {
    error = make_error(ErrorCode::BadFile, "is too large to be a playlist");
  } else {
    text.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < text.size()) {
      const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    if (got < text.size()) error = make_error(ErrorCode::Io, "cannot be read (it ended early)");
  }
  ::close(fd);
  if (error) return std::move(*error);
  if (text.find('\0') != std::string::npos)
    return make_error(ErrorCode::BadFile, "holds binary data, not a playlist of text lines");
  const std::size_t slash = path.rfind('/');
  return parse_playlist(text, slash == std::string::npos ? "" : path.substr(0, slash + 1));
}

std::string playlist_text(const std::vector<std::string>& paths, const std::string& playlist_path) {
  const fs::path folder =
      playlist_path.empty() ? fs::path() : absolute_normal(playlist_path).parent_path();
  std::string text = "#EXTM3U\n";
  for (const std::string& path : paths) text += entry_line(path, folder) + "\n";
  return text;
}

bool write_playlist(const std::string& playlist_path, const std::vector<std::string>& paths) {
  const std::string text = playlist_text(paths, playlist_path);
  return write_file_atomic(
      playlist_path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace brisca
