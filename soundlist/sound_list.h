// The sound list model: the directory table shared by all rows, the block counters behind the
// "Total Blocks" field, the selection operations and the row states used by the down-load.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/notice.h"
#include "soundlist/item_word.h"
#include "soundlist/list_port.h"

namespace brisca {

// What a row shows: its text, three blanks and the block count in square brackets.
std::string row_label(const std::string& text, std::uint32_t word);

struct RowRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Where the list sits in the main window (client coordinates below the menu bar).
inline constexpr RowRect kListRect{10, 50, 337, 265};

struct SoundListState {
  std::vector<std::string> directories;  // each ends with the path separator, or is empty
  std::int32_t selected_blocks = 0;      // selected rows not yet being sent
  std::int32_t current_remaining = 0;    // blocks of the file being sent not yet sent
  int animation_counter = 0;             // 0..3, frame of the row being sent
};

// What the list tells the front end that shows it.
class SoundListListener {
 public:
  virtual ~SoundListListener() = default;
  // The "Total Blocks" figure: the selected rows' blocks and those of the file being sent not
  // yet sent.
  virtual void total_changed(int /*total*/) {}
  // What one gathering could not add (see Gatherer), told once when the gathering ends.
  virtual void not_added(const Notice& /*notice*/) {}
};

class SoundList {
 public:
  static constexpr int kMaxDirectories = 32;
  static constexpr int kNoDirectory = -1;  // add_directory's answer when the table is full

  explicit SoundList(ListPort& rows, SoundListListener* listener = nullptr)
      : rows_(rows), listener_(listener) {}

  ListPort& rows() { return rows_; }
  const ListPort& rows() const { return rows_; }
  SoundListListener* listener() const { return listener_; }
  void set_listener(SoundListListener* listener) { listener_ = listener; }
  SoundListState& state() { return state_; }
  const SoundListState& state() const { return state_; }

  int add_directory(const std::string& path);
  const std::string& directory(int index) const;
  std::string full_path(int row) const;  // directory entry + row text

  void toggle_select_current();
  void select_all(bool on);
  int find_first_item(std::uint32_t mask) const;
  // how: 1 start (selected -> sending, animation 0), 0 done (sending -> sent), 2 animate.
  // The row is repainted when visible; with 2 the animation counter then advances.
  // The down-load's own flags are the sequencer's business.
  void mark_item(int index, int how);
  std::optional<RowRect> row_rect(int index) const;
  // Tells the listener the total: selected_blocks + current_remaining.
  void refresh_total();

  // Removing rows. A row being sent stays; a selected row's blocks leave selected_blocks; the
  // total is refreshed and the list repainted. Each returns the number of rows removed.
  int remove_current();   // the current row
  int remove_selected();  // every row marked selected
  int clear_rows();       // every row but the one being sent

  // Each file is listed once, known by its canonical path (links and "." or ".." resolved).
  bool lists_file(const std::string& canonical) const { return listed_.count(canonical) != 0; }
  // Notes that `row`, just added, is the file known by `canonical`.
  void note_file(int row, const std::string& canonical);

 private:
  void repaint_if_visible(int index);
  bool remove_row(int index);

  ListPort& rows_;
  SoundListListener* listener_;
  SoundListState state_;
  std::unordered_set<std::string> listed_;                     // canonical paths of the rows
  std::unordered_map<std::string, std::string> canonical_of_;  // row's full path -> canonical
};

}  // namespace brisca
