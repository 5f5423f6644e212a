#include "soundlist/gather.h"

#include <glob.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "soundfile/atomic_file.h"
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

// True when the file does not even begin like a MIDI file. One cut short inside "MThd", or
// empty, may be a damaged sound file and is not passed over.
bool lacks_midi_mark(const std::string& path) {
  char head[4] = {};
  std::ifstream file(path, std::ios::binary);
  file.read(head, sizeof head);
  const auto n = static_cast<std::size_t>(file.gcount());
  return std::string_view(head, n) != std::string_view("MThd", n);
}

// At most this many files are listed in one box; the rest are counted.
constexpr std::size_t kListedFailures = 20;

std::vector<std::string> file_names_of(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (it->is_directory(type_ec)) continue;
    std::string name = it->path().filename().string();
    // What a write in progress, or one a crash cut off, left is not a sound of the folder.
    if (!is_temporary_file_name(name)) names.push_back(std::move(name));
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
  Batch batch(*this);
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
  Batch batch(*this);
  if (choice.names.empty()) return;
  int index = directory_index(with_separator(choice.folder));
  if (index < 0) return;
  for (const std::string& name : choice.names) scan_sound_file(name, index);
}

void Gatherer::add_paths(const std::vector<std::string>& paths) {
  Batch batch(*this);
  for (const std::string& path : paths) add_path(path);
}

void Gatherer::add_path(const std::string& path) {
  Batch batch(*this);
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
  Batch batch(*this);
  std::string directory = with_separator(folder);
  int index = directory_index(directory);
  if (index < 0) return;
  for (const std::string& name : file_names_of(directory)) scan(name, index, true);
}

bool Gatherer::scan_sound_file(const std::string& name, int dir_index) {
  Batch batch(*this);
  return scan(name, dir_index, false);
}

bool Gatherer::scan(const std::string& name, int dir_index, bool whole_folder) {
  std::string path = list_.directory(dir_index) + name;
  // A playlist named on its own adds what it lists; one among a folder's files is no sound file
  // and is passed over with them.
  if (!whole_folder && is_playlist_name(name)) return add_playlist(path);
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
  Result<TrackReader> track = TrackReader::open(path);
  if (!track && track.code() != ErrorCode::BadFile) return false;
  if (!track) {
    // A folder's readme or cover picture is no fault of the folder.
    if (whole_folder && is_not_midi(track.error()) && lacks_midi_mark(path)) return false;
    const std::string reason = track.message();
    failures_.push_back({reason, name, name + ": " + reason});
    return false;
  }
  BlockCount count = count_blocks(*track);
  track->close();
  const int row = list_.add_row(name, dir_index, static_cast<std::int32_t>(count.blocks));
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

bool Gatherer::add_playlist(const std::string& path) {
  Batch batch(*this);
  const std::string name = split_path(path).name;
  const Result<Playlist> playlist = read_playlist(path);
  if (!playlist) {
    failures_.push_back({"The playlist " + playlist.message() + ":\n" + shortened(path), name,
                         shortened(path) + ": the playlist " + playlist.message()});
    return false;
  }
  playlists_.push_back(path);
  return add_kit(*playlist, name, true);
}

bool Gatherer::add_listed(const Playlist& playlist, const std::string& name) {
  return add_kit(playlist, name, false);
}

bool Gatherer::add_kit(const Playlist& playlist, const std::string& name, bool tell_empty) {
  Batch batch(*this);
  for (const std::string& problem : playlist.problems)
    failures_.push_back({name + ", " + problem, name, name + ", " + problem});
  const KitSounds kit = kit_sounds(playlist, tell_empty ? name : std::string());
  const int before = list_.count();
  for (std::size_t i = 0; i < kit.paths.size(); ++i) {
    const SplitPath parts = split_path(kit.paths[i]);
    const int index = directory_index(parts.directory);
    if (index >= 0) scan(parts.name, index, kit.in_folder[i]);
  }
  for (const PlaylistEntry& entry : kit.playlists) not_followed(entry.path);
  for (const KitNote& note : kit.notes) tell(note);
  return list_.count() > before;
}

void Gatherer::not_followed(const std::string& path) {
  failures_.push_back({"A playlist inside a playlist is not followed:\n" + shortened(path),
                       split_path(path).name,
                       shortened(path) + ": a playlist inside a playlist is not followed"});
}

void Gatherer::tell(const KitNote& note) {
  if (kit_listener_) {
    kit_listener_(note);
    return;
  }
  const std::string line = kit_note_text(note, "added");
  failures_.push_back({line, "Files not added", line, true});
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
  if (refused_.insert(directory).second) {
    const std::string most = std::to_string(SoundList::kMaxDirectories);
    std::string text = "The list can hold files from at most " + most +
                       " folders.\nThe files of this folder were not added:\n" +
                       shortened(directory);
    failures_.push_back(
        {text, "Too many folders",
         shortened(directory) + ": the list holds files from at most " + most + " folders"});
  }
  return index;
}

bool Gatherer::refused_as_too_long(const std::string& path, const std::error_code& ec) {
  if (ec != std::errc::filename_too_long) return false;
  failures_.push_back({"This path is too long to open:\n" + shortened(path), "Path too long",
                       shortened(path) + ": the path is too long to open"});
  return true;
}

void Gatherer::report() {
  std::vector<Failure> failures = std::move(failures_);
  failures_.clear();
  SoundListListener* listener = list_.listener();
  if (failures.empty() || listener == nullptr) return;
  if (failures.size() == 1 && !failures[0].listed) {
    listener->not_added(warning(failures[0].text, failures[0].caption));
    return;
  }
  std::string text = "These were not added:\n";
  for (std::size_t i = 0; i < failures.size() && i < kListedFailures; ++i)
    text += "\n" + failures[i].line;
  if (failures.size() > kListedFailures)
    text += "\n... and " + std::to_string(failures.size() - kListedFailures) + " more";
  listener->not_added(warning(text, "Files not added"));
}

void add_arguments(SoundList& list, const std::vector<std::string>& args) {
  Gatherer(list).add_paths(args);
}

}  // namespace brisca
