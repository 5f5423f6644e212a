// The sound list model: the rows, the directory table shared by all rows, the block counters
// behind the "Total Blocks" field, the selection operations and the row states used by the
// down-load.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/notice.h"
#include "soundlist/row.h"

namespace brisca {

struct SoundListState {
  std::vector<std::string> directories;  // each ends with the path separator, or is empty
  std::int32_t selected_blocks = 0;      // selected rows not yet being sent
  std::int32_t current_remaining = 0;    // blocks of the file being sent not yet sent
  int animation_counter = 0;             // 0..3, frame of the row being sent
};

// What the list tells the front end that shows it. Positions are those after the change.
class SoundListListener {
 public:
  virtual ~SoundListListener() = default;
  // The "Total Blocks" figure: the selected rows' blocks and those of the file being sent not
  // yet sent.
  virtual void total_changed(int /*total*/) {}
  // What one gathering could not add (see Gatherer), told once when the gathering ends.
  virtual void not_added(const Notice& /*notice*/) {}
  virtual void row_inserted(int /*index*/) {}
  virtual void row_removed(int /*index*/) {}  // the rows below moved up by one
  virtual void row_changed(int /*index*/) {}  // its state
  virtual void rows_changed() {}              // any row's state or the order of all rows
};

class SoundList {
 public:
  static constexpr int kMaxDirectories = 32;
  static constexpr int kNoDirectory = -1;  // add_directory's answer when the table is full

  explicit SoundList(SoundListListener* listener = nullptr) : listener_(listener) {}

  SoundListListener* listener() const { return listener_; }
  void set_listener(SoundListListener* listener) { listener_ = listener; }
  // The display of the rows hears the row changes too.
  void set_view(SoundListListener* view) { view_ = view; }
  SoundListState& state() { return state_; }
  const SoundListState& state() const { return state_; }

  int count() const { return static_cast<int>(rows_.size()); }
  const Row& row(int index) const { return rows_.at(static_cast<std::size_t>(index)); }
  int index_of(RowId id) const;  // -1 when no row has it
  // Sorted by name case-insensitively, a name equal to others after them (the default), or in
  // the order added. Returns the new row's position.
  int add_row(const std::string& name, int dir, std::int32_t blocks);
  // Re-sorts the rows: by name, or in the order they were added.
  void set_sorted(bool sorted);
  bool sorted() const { return sorted_; }

  int add_directory(const std::string& path);
  const std::string& directory(int index) const;
  std::string full_path(int row) const;  // directory entry + row name

  void toggle_select(int index);  // not the row being sent
  void select(int index);         // selects a row neither sending nor selected
  void select_all(bool on);
  int first_selected() const;  // -1 when none
  int selected_count() const;

  // The down-load's marks. start_sending turns the selected row `index` into the one being
  // sent (animation frame 0) and returns its id; the others find it by that id.
  RowId start_sending(int index);
  void mark_sent(RowId id);
  void animate(RowId id);    // the next animation frame
  void give_back(RowId id);  // not sent: selected again, its blocks count as selected

  // Tells the listener the total: selected_blocks + current_remaining.
  void refresh_total();

  // Removing rows. A row being sent stays; a selected row's blocks leave selected_blocks; the
  // total is refreshed. Each returns the number of rows removed.
  int remove_at(int index);
  int remove_selected();  // every row marked selected
  int clear_rows();       // every row but the one being sent

  // Each file is listed once, known by its canonical path (links and "." or ".." resolved).
  bool lists_file(const std::string& canonical) const { return listed_.count(canonical) != 0; }
  // Notes that `row`, just added, is the file known by `canonical`.
  void note_file(int row, const std::string& canonical);

 private:
  bool remove_row(int index);
  void changed(int index);
  void all_changed();
  template <typename Call>
  void tell_view(Call call) {
    if (view_ != nullptr) call(*view_);
  }

  std::vector<Row> rows_;
  RowId next_id_ = 1;
  bool sorted_ = true;
  SoundListListener* listener_;
  SoundListListener* view_ = nullptr;
  SoundListState state_;
  std::unordered_set<std::string> listed_;                     // canonical paths of the rows
  std::unordered_map<std::string, std::string> canonical_of_;  // row's full path -> canonical
};

}  // namespace brisca
