// The sound list's rows for the command line: a sorted list like the window's (or one in the
// order rows were added).
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "soundlist/list_port.h"

namespace brisca::cli {

class ConsoleList final : public ListPort {
 public:
  // Rows added from now on go last instead of into their sorted place.
  void keep_order_added() { sorted_ = false; }

  int count() const override { return static_cast<int>(rows_.size()); }
  // Case-insensitive order; a name equal to others goes after them.
  int add_row(const std::string& text) override {
    if (!sorted_) {
      rows_.push_back(Row{text, 0});
      return count() - 1;
    }
    auto after = [](const std::string& t, const Row& r) { return lower(t) < lower(r.text); };
    auto it = std::upper_bound(rows_.begin(), rows_.end(), text, after);
    it = rows_.insert(it, Row{text, 0});
    return static_cast<int>(it - rows_.begin());
  }
  void remove_row(int i) override { rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(i)); }
  std::string text(int i) const override { return rows_.at(index(i)).text; }
  std::uint32_t item_word(int i) const override { return rows_.at(index(i)).word; }
  void set_item_word(int i, std::uint32_t word) override { rows_.at(index(i)).word = word; }
  int caret() const override { return -1; }
  int top_index() const override { return 0; }
  int row_height() const override { return 14; }
  int visible_height() const override { return 0; }  // nothing to repaint
  void repaint_row(int) override {}
  void repaint_all() override {}

 private:
  struct Row {
    std::string text;
    std::uint32_t word = 0;
  };
  static std::size_t index(int i) { return static_cast<std::size_t>(i); }
  static std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
  }

  std::vector<Row> rows_;
  bool sorted_ = true;
};

}  // namespace brisca::cli
