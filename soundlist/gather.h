// Gathering sound files into the list: paths from the command line, files and folders dropped
// on the window, and the files chosen in the Open dialog. Every route ends in scan_sound_file,
// which counts a file's blocks and adds its row. A playlist (.m3u) named on any of these routes
// adds the sounds it lists, in its order.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "soundlist/kit.h"
#include "soundlist/playlist.h"
#include "soundlist/sound_list.h"

namespace brisca {

struct SplitPath {
  std::string directory;  // up to and including the last '/', or empty
  std::string name;       // the rest
};
SplitPath split_path(std::string_view path);

// Files chosen together in one folder, in the order they were chosen.
struct FileChoice {
  std::string folder;
  std::vector<std::string> names;
};

// Marks the multi-file form of a command-line text: "*" folder NUL name NUL ... name NUL NUL.
inline constexpr char kMultiFileMark = '*';

// One gathering operation. A folder refused because the directory table is full is reported
// once per operation, however many of its files were asked for.
//
// What could not be added is told to the list's listener once, when the outermost call returns
// (or the outermost Batch ends): a single failure as a warning of its own, several in one
// "Files not added" warning that lists each file with its reason. Files of a whole folder that
// are not MIDI files at all are passed over quietly.
class Gatherer {
 public:
  // Holds the report of everything gathered while it lives back until its end.
  class Batch {
   public:
    explicit Batch(Gatherer& gatherer) : gatherer_(gatherer) { ++gatherer_.depth_; }
    ~Batch() {
      if (--gatherer_.depth_ == 0) gatherer_.report();
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    Gatherer& gatherer_;
  };

  explicit Gatherer(SoundList& list) : list_(list) {}

  // One command-line text in one of three forms: the multi-file form (first character "*"),
  // one path in double quotes, or paths separated by spaces.
  void add_file_list(std::string_view text);
  // The Open dialog's answer: add_directory the folder once and scan each name in order.
  void add_file_list(const FileChoice& choice);
  // Each string is one path (program arguments, dropped files).
  void add_paths(const std::vector<std::string>& paths);
  // A folder adds its files; a file adds itself; a pattern that does not name an existing
  // file adds its first match; a path that matches nothing is passed over silently.
  void add_path(const std::string& path);
  // Every file of a folder whatever its extension, not its sub-folders.
  void add_folder(const std::string& folder);
  // Opens directory entry + name, counts its blocks and adds its row; a bad header is told
  // (the reason as text, the name as caption) and adds no row; a file the list holds already
  // (by its canonical path) is passed over. True when a row was added.
  bool scan_sound_file(const std::string& name, int dir_index);
  // Adds the sounds a playlist gives (soundlist/kit.h), in order; a playlist that cannot be
  // read and a listed file that is no sound file are told with the other failures, and so are
  // the kit's notes (an entry skipped, a file listed again, no sound at all), always in the
  // "Files not added" box. A playlist listed in a playlist is not followed. True when a row was
  // added.
  bool add_playlist(const std::string& path);
  // The same for a playlist already read, named `name` in what is told; one giving no sound is
  // not told.
  bool add_listed(const Playlist& playlist, const std::string& name);
  // From now on the kits' notes go to `listener` instead of the report.
  void on_kit_note(std::function<void(const KitNote&)> listener) {
    kit_listener_ = std::move(listener);
  }

  // The playlists read by this gatherer, in order.
  const std::vector<std::string>& playlists() const { return playlists_; }

 private:
  // One file or folder that was not added: its own box's text and caption, and its line in a
  // list of several.
  struct Failure {
    std::string text, caption, line;
    bool listed = false;  // shown in the list box even when alone
  };

  bool scan(const std::string& name, int dir_index, bool whole_folder);
  void add_full_path(std::string_view path);
  bool add_kit(const Playlist& playlist, const std::string& name, bool tell_empty);
  void not_followed(const std::string& path);
  void tell(const KitNote& note);
  int directory_index(const std::string& directory);
  bool refused_as_too_long(const std::string& path, const std::error_code& ec);
  static std::string canonical_of(const std::string& path);
  const std::string& canonical_folder(int dir_index);
  void report();

  SoundList& list_;
  std::set<std::string> refused_;
  std::map<int, std::string> canonical_folders_;  // by directory index
  std::vector<Failure> failures_;
  std::vector<std::string> playlists_;
  std::function<void(const KitNote&)> kit_listener_;
  int depth_ = 0;
};

// Program arguments after the program name: each is one path.
void add_arguments(SoundList& list, const std::vector<std::string>& args);

}  // namespace brisca
