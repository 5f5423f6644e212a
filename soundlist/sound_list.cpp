#include "soundlist/sound_list.h"

#include <algorithm>

namespace brisca {

std::string row_label(const std::string& text, std::uint32_t word) {
  return text + "   [" + std::to_string(item_blocks(word)) + "]";
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

std::string SoundList::full_path(int row) const {
  if (row < 0 || row >= rows_.count()) return {};
  return directory(item_dir(rows_.item_word(row))) + rows_.text(row);
}

void SoundList::toggle_select_current() {
  int index = rows_.caret();
  if (index < 0 || index >= rows_.count()) return;
  std::uint32_t word = rows_.item_word(index);
  if ((word & ITEM_SENDING) != 0) return;
  word ^= ITEM_SELECTED;
  if ((word & ITEM_SELECTED) != 0)
    state_.selected_blocks += item_blocks(word);
  else
    state_.selected_blocks -= item_blocks(word);
  rows_.set_item_word(index, word);
  repaint_if_visible(index);
  refresh_total();
}

void SoundList::select_all(bool on) {
  state_.selected_blocks = 0;
  for (int index = rows_.count() - 1; index >= 0; --index) {
    std::uint32_t word = rows_.item_word(index);
    if ((word & ITEM_SENDING) != 0) continue;
    if (on) {
      word |= ITEM_SELECTED;
      state_.selected_blocks += item_blocks(word);
    } else {
      word &= ~ITEM_SELECTED;
    }
    rows_.set_item_word(index, word);
  }
  rows_.repaint_all();
  refresh_total();
}

int SoundList::find_first_item(std::uint32_t mask) const {
  int count = rows_.count();
  for (int index = 0; index < count; ++index)
    if ((rows_.item_word(index) & mask) != 0) return index;
  return -1;
}

void SoundList::mark_item(int index, int how) {
  if (index < 0 || index >= rows_.count()) return;
  std::uint32_t word = rows_.item_word(index);
  if (how == 1) {
    word = (word & ~ITEM_SELECTED) | ITEM_SENDING;
    rows_.set_item_word(index, word);
    state_.animation_counter = 0;
  } else if (how == 0) {
    word = (word & ~ITEM_SENDING) | ITEM_SENT;
    rows_.set_item_word(index, word);
  }
  repaint_if_visible(index);
  if (how == 2) state_.animation_counter = (state_.animation_counter + 1) & 3;
}

std::optional<RowRect> SoundList::row_rect(int index) const {
  int height = rows_.row_height();
  int y = height * (index - rows_.top_index());
  if (y < 0 || y >= rows_.visible_height()) return std::nullopt;
  int top = kListRect.top + y;
  return RowRect{kListRect.left, top, kListRect.right, top + height};
}

void SoundList::refresh_total() {
  if (listener_ != nullptr)
    listener_->total_changed(state_.selected_blocks + state_.current_remaining);
}

bool SoundList::remove_row(int index) {
  if (index < 0 || index >= rows_.count()) return false;
  const std::uint32_t word = rows_.item_word(index);
  if ((word & ITEM_SENDING) != 0) return false;
  if ((word & ITEM_SELECTED) != 0) state_.selected_blocks -= item_blocks(word);
  auto known = canonical_of_.find(full_path(index));
  if (known != canonical_of_.end()) {
    listed_.erase(known->second);
    canonical_of_.erase(known);
  }
  rows_.remove_row(index);
  return true;
}

int SoundList::remove_current() {
  const int removed = remove_row(rows_.caret()) ? 1 : 0;
  rows_.repaint_all();
  refresh_total();
  return removed;
}

int SoundList::remove_selected() {
  int removed = 0;
  for (int index = rows_.count() - 1; index >= 0; --index)
    if ((rows_.item_word(index) & ITEM_SELECTED) != 0 && remove_row(index)) ++removed;
  rows_.repaint_all();
  refresh_total();
  return removed;
}

int SoundList::clear_rows() {
  int removed = 0;
  for (int index = rows_.count() - 1; index >= 0; --index)
    if (remove_row(index)) ++removed;
  rows_.repaint_all();
  refresh_total();
  return removed;
}

void SoundList::note_file(int row, const std::string& canonical) {
  listed_.insert(canonical);
  canonical_of_[full_path(row)] = canonical;
}

void SoundList::repaint_if_visible(int index) {
  if (row_rect(index)) rows_.repaint_row(index);
}

}  // namespace brisca
