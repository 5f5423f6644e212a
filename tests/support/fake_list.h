// A sorted list of rows for tests, behaving like the window's list control (or, with `sorted`
// false, keeping the order rows were added, as the window can).
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "soundlist/list_port.h"

namespace brisca::test {

class FakeList : public ListPort {
 public:
  struct Row {
    std::string text;
    std::uint32_t word = 0;
  };

  int count() const override { return static_cast<int>(rows.size()); }
  int add_row(const std::string& text) override {
    if (!sorted) {
      rows.push_back(Row{text, 0});
      return count() - 1;
    }
    auto less = [](const Row& r, const std::string& t) { return lower(r.text) <= lower(t); };
    auto it = std::lower_bound(rows.begin(), rows.end(), text, less);
    it = rows.insert(it, Row{text, 0});
    return static_cast<int>(it - rows.begin());
  }
  void remove_row(int i) override {
    rows.erase(rows.begin() + i);
    if (current >= count()) current = count() - 1;
  }
  std::string text(int i) const override { return rows.at(static_cast<size_t>(i)).text; }
  std::uint32_t item_word(int i) const override { return rows.at(static_cast<size_t>(i)).word; }
  void set_item_word(int i, std::uint32_t w) override { rows.at(static_cast<size_t>(i)).word = w; }
  int caret() const override { return current; }
  int top_index() const override { return top; }
  int row_height() const override { return 14; }
  int visible_height() const override { return height; }
  void repaint_row(int i) override { repainted.push_back(i); }
  void repaint_all() override { ++full_repaints; }

  static std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }

  std::vector<Row> rows;
  bool sorted = true;
  int current = -1;
  int top = 0;
  int height = 215;
  std::vector<int> repainted;
  int full_repaints = 0;
};

}  // namespace brisca::test
