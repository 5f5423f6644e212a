#include "soundlist/sound_list.h"

#include <algorithm>

namespace brisca {
namespace {

// Case-insensitive order of names: ASCII letters fold, other bytes compare as they are.
int compare_folded(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    auto fold = [](char c) {
      const auto u = static_cast<unsigned char>(c);
      return u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u;
    };
    if (fold(a[i]) != fold(b[i])) return fold(a[i]) < fold(b[i]) ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

int SoundList::index_of(RowId id) const {
  if (id == kNoRow) return -1;
  for (int index = 0; index < count(); ++index)
    if (row(index).id == id) return index;
  return -1;
}

int SoundList::add_row(const std::string& name, int dir, std::int32_t blocks) {
  auto at = rows_.end();
  if (sorted_)
    at = std::upper_bound(rows_.begin(), rows_.end(), name, [](const std::string& n, const Row& r) {
      return compare_folded(n, r.name) < 0;
    });
  at = rows_.insert(at, Row{next_id_++, dir, name, blocks, false, false, false});
  const int index = static_cast<int>(at - rows_.begin());
  tell_view([index](SoundListListener& view) { view.row_inserted(index); });
  return index;
}

void SoundList::set_sorted(bool sorted) {
  if (sorted == sorted_) return;
  sorted_ = sorted;
  std::stable_sort(rows_.begin(), rows_.end(), [this](const Row& a, const Row& b) {
    if (sorted_) {
      const int by_name = compare_folded(a.name, b.name);
      if (by_name != 0) return by_name < 0;
    }
    return a.id < b.id;
  });
  all_changed();
}

int SoundList::add_directory(const std::string& path) {
  auto& dirs = state_.directories;
  auto it = std::find(dirs.begin(), dirs.end(), path);
  if (it != dirs.end()) return static_cast<int>(it - dirs.begin());
  if (static_cast<int>(dirs.size()) >= kMaxDirectories) return kNoDirectory;
  dirs.push_back(path);
  return static_cast<int>(dirs.size()) - 1;
}

const std::string& SoundList::directory(int index) const {
  static const std::string kNone;
  if (index < 0 || index >= static_cast<int>(state_.directories.size())) return kNone;
  return state_.directories[static_cast<std::size_t>(index)];
}

std::string SoundList::full_path(int index) const {
  if (index < 0 || index >= count()) return {};
  return directory(row(index).dir) + row(index).name;
}

void SoundList::toggle_select(int index) {
  if (index < 0 || index >= count()) return;
  Row& r = rows_[static_cast<std::size_t>(index)];
  if (r.sending) return;
  r.selected = !r.selected;
  state_.selected_blocks += r.selected ? r.blocks : -r.blocks;
  changed(index);
  refresh_total();
}

void SoundList::select(int index) {
  if (index < 0 || index >= count() || row(index).selected || row(index).sending) return;
  toggle_select(index);
}

void SoundList::select_all(bool on) {
  state_.selected_blocks = 0;
  for (Row& r : rows_) {
    if (r.sending) continue;
    r.selected = on;
    if (on) state_.selected_blocks += r.blocks;
  }
  all_changed();
  refresh_total();
}

int SoundList::first_selected() const {
  for (int index = 0; index < count(); ++index)
    if (row(index).selected) return index;
  return -1;
}

int SoundList::selected_count() const {
  return static_cast<int>(
      std::count_if(rows_.begin(), rows_.end(), [](const Row& r) { return r.selected; }));
}

RowId SoundList::start_sending(int index) {
  if (index < 0 || index >= count()) return kNoRow;
  Row& r = rows_[static_cast<std::size_t>(index)];
  r.selected = false;
  r.sending = true;
  state_.animation_counter = 0;
  changed(index);
  return r.id;
}

void SoundList::mark_sent(RowId id) {
  const int index = index_of(id);
  if (index < 0) return;
  Row& r = rows_[static_cast<std::size_t>(index)];
  r.sending = false;
  r.sent = true;
  changed(index);
}

void SoundList::animate(RowId id) {
  const int index = index_of(id);
  if (index >= 0) changed(index);
  if (index >= 0) state_.animation_counter = (state_.animation_counter + 1) & 3;
}

void SoundList::give_back(RowId id) {
  const int index = index_of(id);
  if (index < 0) return;
  Row& r = rows_[static_cast<std::size_t>(index)];
  r.sending = false;
  r.selected = true;
  state_.selected_blocks += r.blocks;
  changed(index);
}

void SoundList::refresh_total() {
  if (listener_ != nullptr)
    listener_->total_changed(state_.selected_blocks + state_.current_remaining);
}

bool SoundList::remove_row(int index) {
  if (index < 0 || index >= count()) return false;
  const Row& r = row(index);
  if (r.sending) return false;
  if (r.selected) state_.selected_blocks -= r.blocks;
  auto known = canonical_of_.find(full_path(index));
  if (known != canonical_of_.end()) {
    listed_.erase(known->second);
    canonical_of_.erase(known);
  }
  rows_.erase(rows_.begin() + index);
  tell_view([index](SoundListListener& view) { view.row_removed(index); });
  return true;
}

int SoundList::remove_at(int index) {
  const int removed = remove_row(index) ? 1 : 0;
  all_changed();
  refresh_total();
  return removed;
}

int SoundList::remove_selected() {
  int removed = 0;
  for (int index = count() - 1; index >= 0; --index)
    if (row(index).selected && remove_row(index)) ++removed;
  all_changed();
  refresh_total();
  return removed;
}

int SoundList::clear_rows() {
  int removed = 0;
  for (int index = count() - 1; index >= 0; --index)
    if (remove_row(index)) ++removed;
  all_changed();
  refresh_total();
  return removed;
}

void SoundList::note_file(int index, const std::string& canonical) {
  listed_.insert(canonical);
  canonical_of_[full_path(index)] = canonical;
}

void SoundList::changed(int index) {
  tell_view([index](SoundListListener& view) { view.row_changed(index); });
}

void SoundList::all_changed() {
  tell_view([](SoundListListener& view) { view.rows_changed(); });
}

}  // namespace brisca
