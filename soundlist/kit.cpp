#include "soundlist/kit.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

#include "soundfile/atomic_file.h"
#include "soundfile/byte_stream.h"

namespace brisca {
namespace fs = std::filesystem;

namespace {

std::string folded(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string file_name(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string times_text(int times) {
  return times == 2 ? "twice" : std::to_string(times) + " times";
}

// Gathers the files of a kit, each once, counting the entries that name one again.
class KitBuilder {
 public:
  void add_entry(const PlaylistEntry& entry) {
    const std::string& path = entry.path;
    std::error_code ec;
    if (is_playlist_name(path)) {
      kit_.playlists.push_back(entry);
    } else if (fs::is_directory(path, ec)) {
      add_folder(path);
    } else if (ByteStream::open_file(path)) {
      add_file(path, false);
    } else {
      kit_.notes.push_back({KitNote::Kind::Skipped, path, unopened_file_reason(path), 0});
    }
  }

  KitSounds finish() {
    for (const auto& [key, count] : counts_)
      if (count.times > 1) repeats_.emplace(count.first, key);
    for (const auto& [first, key] : repeats_)
      kit_.notes.push_back(
          {KitNote::Kind::Repeated, file_name(kit_.paths[first]), "", counts_[key].times});
    return std::move(kit_);
  }

 private:
  struct Count {
    std::size_t first = 0;  // its place in the kit
    int times = 0;
  };

  void add_folder(const std::string& folder) {
    std::error_code ec;
    const std::vector<std::string> files = folder_file_paths(folder, ec);
    if (ec) {
      kit_.notes.push_back(
          {KitNote::Kind::Skipped, folder, "cannot be read (" + ec.message() + ")", 0});
      return;
    }
    // A folder's playlists are no sounds of it.
    for (const std::string& file : files)
      if (!is_playlist_name(file)) add_file(file, true);
  }

  void add_file(const std::string& path, bool in_folder) {
    std::error_code ec;
    const fs::path canonical = fs::canonical(path, ec);
    Count& count = counts_[ec ? path : canonical.string()];
    if (count.times++ > 0) return;
    count.first = kit_.paths.size();
    kit_.paths.push_back(path);
    kit_.in_folder.push_back(in_folder);
  }

  KitSounds kit_;
  std::map<std::string, Count> counts_;         // by canonical path
  std::map<std::size_t, std::string> repeats_;  // by first place
};

}  // namespace

std::string kit_note_text(const KitNote& note, std::string_view verb) {
  switch (note.kind) {
    case KitNote::Kind::Skipped:
      return note.name + ": " + note.reason;
    case KitNote::Kind::Repeated:
      return note.name + " is listed " + times_text(note.times) + "; " + std::string(verb) +
             " once";
    case KitNote::Kind::Empty:
      break;
  }
  return note.name + " holds no sounds";
}

bool KitSounds::failed() const {
  return std::any_of(notes.begin(), notes.end(),
                     [](const KitNote& n) { return n.kind != KitNote::Kind::Repeated; });
}

KitSounds kit_sounds(const Playlist& playlist, const std::string& kit_name) {
  KitBuilder builder;
  for (const PlaylistEntry& entry : playlist.entries) builder.add_entry(entry);
  KitSounds kit = builder.finish();
  if (!kit_name.empty() && kit.paths.empty())
    kit.notes.push_back({KitNote::Kind::Empty, kit_name, "", 0});
  return kit;
}

std::string kit_name_of(const std::string& playlist_path) {
  return file_name(playlist_path);
}

std::vector<std::string> folder_file_paths(const std::string& folder, std::error_code& ec) {
  std::vector<std::string> names;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    std::string name = it->path().filename().string();
    if (!it->is_directory(type_ec) && !is_temporary_file_name(name))
      names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return folded(a) < folded(b);
  });
  std::string prefix = folder;
  if (!prefix.empty() && prefix.back() != '/') prefix += '/';
  for (std::string& name : names) name = prefix + name;
  return names;
}

}  // namespace brisca
