// The sound list control: a QListWidget kept sorted by row text (or, on request, in the order
// the rows were added), with the item word of each row as item data. It reports the user's actions
// the way the window's commands expect them: a selection change by mouse or keyboard, a
// double-click, and the five keys the window handles itself; all other keys keep their list
// meaning.
#pragma once

#include <QFontMetrics>
#include <QListWidget>
#include <algorithm>

#include "soundlist/list_port.h"

namespace brisca {

inline constexpr int kRowHeight = 14;  // with the window's font; a larger font makes taller rows
inline int row_height_for(const QFontMetrics& metrics) {
  return std::max(kRowHeight, metrics.height() + 1);
}

class SoundListWidget : public QListWidget, public ListPort {
  Q_OBJECT

 public:
  static constexpr int kWordRole = Qt::UserRole;       // the item word
  static constexpr int kNameRole = Qt::UserRole + 1;   // the row text as bytes
  static constexpr int kOrderRole = Qt::UserRole + 2;  // when the row was added

  explicit SoundListWidget(QWidget* parent);

  int count() const override { return QListWidget::count(); }
  // Keeps the bottom `pixels` of the list free of rows (a status line covers them), so that no
  // row is hidden under it: the rows scroll above it instead.
  void reserve_foot(int pixels) { setViewportMargins(0, 0, 0, pixels); }
  int add_row(const std::string& text) override;
  void remove_row(int index) override;
  std::string text(int index) const override;
  std::uint32_t item_word(int index) const override;
  void set_item_word(int index, std::uint32_t word) override;
  int caret() const override { return currentRow(); }
  int top_index() const override;
  int row_height() const override { return row_height_for(fontMetrics()); }
  int visible_height() const override;
  void repaint_row(int index) override;
  void repaint_all() override;

  // The row with the list's own highlight, -1 when none.
  int selected_row() const;

  // Sorted by name (the default) or in the order added; the current row stays current.
  void set_sorted(bool sorted);
  bool sorted() const { return sorted_; }

 signals:
  void selection_changed_by_user();
  void double_clicked();
  void key_command(int key_code);  // 13, 27, 32, 45 or 46

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool sorted_ = true;
  std::uint64_t added_ = 0;
  bool pressed_on_row_ = false;
  bool in_double_click_ = false;
};

}  // namespace brisca
