// The sound list control: a QListWidget showing the rows of a SoundList in the list's order, one
// item per row. It reports the user's actions the way the window's commands expect them: a
// selection change by mouse or keyboard, a double-click, and the five keys the window handles
// itself; all other keys keep their list meaning.
#pragma once

#include <QFontMetrics>
#include <QListWidget>
#include <algorithm>

#include "soundlist/sound_list.h"

namespace brisca {

inline constexpr int kRowHeight = 14;  // with the window's font; a larger font makes taller rows
inline int row_height_for(const QFontMetrics& metrics) {
  return std::max(kRowHeight, metrics.height() + 1);
}

class SoundListWidget : public QListWidget, private SoundListListener {
  Q_OBJECT

 public:
  static constexpr int kIdRole = Qt::UserRole;  // the row's id

  explicit SoundListWidget(QWidget* parent);

  // Shows `list`'s rows from now on, and follows its changes.
  void show_rows(SoundList& list);
  const SoundList* rows() const { return list_; }
  int row_height() const { return row_height_for(fontMetrics()); }
  // The name of the row at `index`, empty when there is none.
  std::string text(int index) const;

  // Keeps the bottom `pixels` of the list free of rows (a status line covers them), so that no
  // row is hidden under it: the rows scroll above it instead.
  void reserve_foot(int pixels) { setViewportMargins(0, 0, 0, pixels); }

  // The row with the list's own highlight, -1 when none.
  int selected_row() const;

  // Sorted by name (the default) or in the order added; the current row stays current.
  void set_sorted(bool sorted);
  bool sorted() const { return list_ == nullptr || list_->sorted(); }

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
  void row_inserted(int index) override;
  void row_removed(int index) override;
  void row_changed(int index) override;
  void rows_changed() override;
  void follow_order();
  QListWidgetItem* new_item(int index) const;

  SoundList* list_ = nullptr;
  bool pressed_on_row_ = false;
  bool in_double_click_ = false;
};

}  // namespace brisca
