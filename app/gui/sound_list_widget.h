// The sound list control: a list view over a SoundListModel, the rows of a SoundList in the
// list's order. It reports the user's actions the way the window's commands expect them: a
// selection change by mouse or keyboard, a double-click, and the five keys the window handles
// itself; all other keys keep their list meaning. Its highlight is only where the user is in the
// list: which rows are marked, sent or being sent is the list's to say.
#pragma once

#include <QFontMetrics>
#include <QListView>
#include <QPointer>
#include <algorithm>
#include <string>

#include "app/gui/sound_list_model.h"

namespace brisca {

inline constexpr int kRowHeight = 14;  // with the window's font; a larger font makes taller rows
inline int row_height_for(const QFontMetrics& metrics) {
  return std::max(kRowHeight, metrics.height() + 1);
}

class SoundListWidget : public QListView {
  Q_OBJECT

 public:
  explicit SoundListWidget(QWidget* parent);

  // Shows the model's rows from now on.
  void show_rows(SoundListModel& rows);
  const SoundList* rows() const { return model_ != nullptr ? &model_->list() : nullptr; }
  int row_height() const { return row_height_for(fontMetrics()); }
  int count() const { return model_ != nullptr ? model_->rowCount() : 0; }
  // The name of the row at `index`, empty when there is none.
  std::string text(int index) const;
  // Where the row at `index` is drawn, in the viewport's coordinates.
  QRect row_rect(int index) const;

  // Keeps the bottom `pixels` of the list free of rows (a status line covers them), so that no
  // row is hidden under it: the rows scroll above it instead.
  void reserve_foot(int pixels) { setViewportMargins(0, 0, 0, pixels); }

  // The row with the list's own highlight, -1 when none.
  int selected_row() const;
  // The current row (the focus rectangle), -1 when none; setting it highlights it too.
  int currentRow() const;
  void setCurrentRow(int index);

  // Sorted by name (the default) or in the order added; the current row stays current.
  void set_sorted(bool sorted);
  bool sorted() const { return model_ == nullptr || model_->list().sorted(); }

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
  QPointer<SoundListModel> model_;
  bool pressed_on_row_ = false;
  bool in_double_click_ = false;
};

}  // namespace brisca
