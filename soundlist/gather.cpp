#include "soundlist/gather.h"

#include <glob.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "soundfile/block_count.h"
#include "soundfile/midi_reader.h"
#include "soundfile/track_reader.h"

namespace brisca {
namespace fs = std::filesystem;

namespace {

std::string with_separator(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// Long paths are shown by their two ends so that a box stays readable.
std::string shortened(const std::string& path) {
  constexpr std::size_t kKeep = 60;
  if (path.size() <= 2 * kKeep + 3) return path;
  return path.substr(0, kKeep) + "..." + path.substr(path.size() - kKeep);
}

bool has_pattern(const std::string& path) {
  return path.find_first_of("*?[") != std::string::npos;
}

// The first path matching a shell pattern, in glob(3)'s sorted order; empty when none does.
std::string first_match(const std::string& pattern) {
  glob_t found{};
  std::string first;
  if (glob(pattern.c_str(), 0, nullptr, &found) == 0 && found.gl_pathc > 0)
    first = found.gl_pathv[0];
  globfree(&found);
  return first;
}

std::vector<std::string> file_names_of(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (it->is_directory(type_ec)) continue;
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

SplitPath split_path(std::string_view path) {
  std::size_t cut = path.rfind('/');
  if (cut == std::string_view::npos) return {std::string(), std::string(path)};
  return {std::string(path.substr(0, cut + 1)), std::string(path.substr(cut + 1))};
}

void Gatherer::add_file_list(std::string_view text) {
  if (text.empty()) return;
  if (text.front() == kMultiFileMark) {
    std::string_view rest = text.substr(1);
    std::size_t end = rest.find('\0');
    FileChoice choice{std::string(rest.substr(0, end)), {}};
    while (end != std::string_view::npos) {
      rest = rest.substr(end + 1);
      end = rest.find('\0');
      std::string_view name = rest.substr(0, end);
      if (name.empty()) break;
      choice.names.emplace_back(name);
    }
    if (choice.names.empty())
      add_full_path(choice.folder);
    else
      add_file_list(choice);
    return;
  }
  if (text.front() == '"') {
    std::string_view rest = text.substr(1);
    add_full_path(rest.substr(0, rest.rfind('"')));
    return;
  }
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t start = text.find_first_not_of(' ', pos);
    if (start == std::string_view::npos) break;
    std::size_t stop = std::min(text.find(' ', start), text.size());
    add_path(std::string(text.substr(start, stop - start)));
    pos = stop;
  }
}

void Gatherer::add_file_list(const FileChoice& choice) {
  if (choice.names.empty()) return;
  int index = directory_index(with_separator(choice.folder));
  if (index < 0) return;
  for (const std::string& name : choice.names) scan_sound_file(name, index);
}

void Gatherer::add_paths(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) add_path(path);
}

void Gatherer::add_path(const std::string& path) {
  if (path.empty()) return;
  std::error_code ec;
  fs::file_status status = fs::status(path, ec);
  if (refused_as_too_long(path, ec)) return;
  std::string found = path;
  if (!fs::exists(status)) {
    if (!has_pattern(path)) return;
    found = first_match(path);
    if (found.empty()) return;
    status = fs::status(found, ec);
  }
  if (fs::is_directory(status))
    add_folder(found);
  else
    add_full_path(found);
}

void Gatherer::add_folder(const std::string& folder) {
  std::string directory = with_separator(folder);
  int index = directory_index(directory);
  if (index < 0) return;
  for (const std::string& name : file_names_of(directory)) scan_sound_file(name, index);
}

bool Gatherer::scan_sound_file(const std::string& name, int dir_index) {
  std::string path = list_.directory(dir_index) + name;
  // Only regular files are opened: opening a FIFO or a device would block or never end.
  // The file's own entry first: a plain file needs no more looking up than that.
  std::error_code ec;
  const fs::file_status entry = fs::symlink_status(path, ec);
  if (refused_as_too_long(path, ec)) return false;
  const bool link = fs::is_symlink(entry);
  const bool regular = link ? fs::is_regular_file(path, ec) : fs::is_regular_file(entry);
  if (refused_as_too_long(path, ec) || !regular) return false;
  // A file already listed, by whatever path, is not listed again.
  const std::string key = link ? canonical_of(path) : canonical_folder(dir_index) + name;
  if (list_.lists_file(key)) return false;
  std::optional<TrackReader> track = TrackReader::open(path);
  if (!track) return false;
  if (!track->ok()) {
    if (list_.window() != nullptr) report_file_error(*list_.window(), track->open_result(), name);
    return false;
  }
  BlockCount count = count_blocks(*track);
  track->close();
  ListPort& rows = list_.rows();
  int row = rows.add_row(name);
  std::uint32_t blocks = static_cast<std::uint32_t>(count.blocks) << ITEM_BLOCKS_SHIFT;
  rows.set_item_word(row, static_cast<std::uint32_t>(dir_index) | blocks);
  list_.note_file(row, key);
  return true;
}

void Gatherer::add_full_path(std::string_view path) {
  if (path.empty()) return;
  SplitPath parts = split_path(path);
  if (parts.name.empty()) return;
  int index = directory_index(parts.directory);
  if (index >= 0) scan_sound_file(parts.name, index);
}

std::string Gatherer::canonical_of(const std::string& path) {
  std::error_code ec;
  const fs::path canonical = fs::canonical(path, ec);
  return ec ? path : canonical.string();
}

// Resolved once per folder and operation.
const std::string& Gatherer::canonical_folder(int dir_index) {
  auto it = canonical_folders_.find(dir_index);
  if (it != canonical_folders_.end()) return it->second;
  const std::string& directory = list_.directory(dir_index);
  return canonical_folders_[dir_index] =
             with_separator(canonical_of(directory.empty() ? "." : directory));
}

int Gatherer::directory_index(const std::string& directory) {
  int index = list_.add_directory(directory);
  if (index != SoundList::kNoDirectory) return index;
  if (refused_.insert(directory).second && list_.window() != nullptr) {
    std::string text =
        "The list can hold files from at most " + std::to_string(SoundList::kMaxDirectories) +
        " folders.\nThe files of this folder were not added:\n" + shortened(directory);
    list_.window()->message_box(text, "Too many folders", BoxIcon::Warning, BoxButtons::Ok);
  }
  return index;
}

bool Gatherer::refused_as_too_long(const std::string& path, const std::error_code& ec) {
  if (ec != std::errc::filename_too_long) return false;
  if (list_.window() != nullptr)
    list_.window()->message_box("This path is too long to open:\n" + shortened(path),
                                "Path too long", BoxIcon::Warning, BoxButtons::Ok);
  return true;
}

void add_arguments(SoundList& list, const std::vector<std::string>& args) {
  Gatherer(list).add_paths(args);
}

}  // namespace brisca
