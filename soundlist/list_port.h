// The rows of the sound list as the list control holds them. The Qt list implements this;
// tests use a plain fake. Rows are kept sorted by text, case-insensitively, like a sorted list
// box (the window may instead keep them in the order they were added): add_row returns the new
// row's position.
#pragma once

#include <cstdint>
#include <string>

namespace brisca {

class ListPort {
 public:
  virtual ~ListPort() = default;
  virtual int count() const = 0;
  virtual int add_row(const std::string& text) = 0;  // sorted insert; returns its index
  virtual void remove_row(int index) = 0;            // the rows below move up by one
  virtual std::string text(int index) const = 0;
  virtual std::uint32_t item_word(int index) const = 0;
  virtual void set_item_word(int index, std::uint32_t word) = 0;
  virtual int caret() const = 0;  // the current row, -1 when none
  virtual int top_index() const = 0;
  virtual int row_height() const = 0;      // 14
  virtual int visible_height() const = 0;  // height of the list's rectangle
  virtual void repaint_row(int index) = 0;
  virtual void repaint_all() = 0;
};

}  // namespace brisca
