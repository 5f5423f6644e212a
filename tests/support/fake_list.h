// What a display of the sound list hears, recorded for tests, and short ways to read a list's
// rows.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "soundlist/sound_list.h"

namespace brisca::test {

// A row's marks as bits, to check several at once.
inline constexpr unsigned kSelected = 1, kSending = 2, kSent = 4;
inline unsigned marks(const Row& row) {
  return (row.selected ? kSelected : 0u) | (row.sending ? kSending : 0u) | (row.sent ? kSent : 0u);
}
inline unsigned marks(const SoundList& list, int index) {
  return marks(list.row(index));
}

inline std::vector<std::string> names(const SoundList& list) {
  std::vector<std::string> out;
  for (int index = 0; index < list.count(); ++index) out.push_back(list.row(index).name);
  return out;
}

inline int index_of_name(const SoundList& list, const std::string& name) {
  for (int index = 0; index < list.count(); ++index)
    if (list.row(index).name == name) return index;
  return -1;
}

// Shows `list` the way the window does, keeping a log of the changes it was told.
class FakeList : public SoundListListener {
 public:
  explicit FakeList(SoundList& list) : list_(list) { list.set_view(this); }
  ~FakeList() override { list_.set_view(nullptr); }
  FakeList(const FakeList&) = delete;
  FakeList& operator=(const FakeList&) = delete;

  void row_inserted(int index) override { inserted.push_back(index); }
  void row_removed(int index) override { removed.push_back(index); }
  void row_changed(int index) override {
    repainted.push_back(index);
    changes.emplace_back(index, marks(list_, index));
  }
  void rows_changed() override { ++full_repaints; }

  std::vector<int> inserted, removed, repainted;
  std::vector<std::pair<int, unsigned>> changes;  // row and its marks after each change
  int full_repaints = 0;

 private:
  SoundList& list_;
};

}  // namespace brisca::test
