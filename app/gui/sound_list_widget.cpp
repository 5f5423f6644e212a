#include "app/gui/sound_list_widget.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace brisca {
namespace {

int key_code_of(int key) {
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Space:
      return 32;
    case Qt::Key_Insert:
      return 45;
    case Qt::Key_Delete:
      return 46;
    default:
      return 0;
  }
}

}  // namespace

SoundListWidget::SoundListWidget(QWidget* parent) : QListView(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);  // shown only when rows are hidden
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setUniformItemSizes(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setDragEnabled(false);
  setAcceptDrops(false);
}

void SoundListWidget::show_rows(SoundListModel& rows) {
  model_ = &rows;
  setModel(&rows);
}

std::string SoundListWidget::text(int index) const {
  const SoundList* list = rows();
  return list != nullptr && index >= 0 && index < list->count() ? list->row(index).name
                                                                : std::string();
}

QRect SoundListWidget::row_rect(int index) const {
  return model_ != nullptr ? visualRect(model_->index(index)) : QRect();
}

void SoundListWidget::set_sorted(bool sorted) {
  if (model_ != nullptr) model_->list().set_sorted(sorted);
}

int SoundListWidget::selected_row() const {
  if (selectionModel() == nullptr) return -1;
  const QModelIndexList rows = selectionModel()->selectedIndexes();
  return rows.isEmpty() ? -1 : rows.first().row();
}

int SoundListWidget::currentRow() const {
  return currentIndex().isValid() ? currentIndex().row() : -1;
}

void SoundListWidget::setCurrentRow(int index) {
  if (model_ == nullptr || selectionModel() == nullptr) return;
  selectionModel()->setCurrentIndex(model_->index(index), QItemSelectionModel::ClearAndSelect);
}

void SoundListWidget::mousePressEvent(QMouseEvent* event) {
  pressed_on_row_ = indexAt(event->position().toPoint()).isValid();
  QListView::mousePressEvent(event);
}

// The selection is reported when the button comes up, also when the row was already selected:
// clicking a row again plays it again.
void SoundListWidget::mouseReleaseEvent(QMouseEvent* event) {
  QListView::mouseReleaseEvent(event);
  bool report = event->button() == Qt::LeftButton && pressed_on_row_ && !in_double_click_;
  pressed_on_row_ = false;
  in_double_click_ = false;
  if (report && selected_row() >= 0) emit selection_changed_by_user();
}

void SoundListWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  QListView::mouseDoubleClickEvent(event);
  if (event->button() != Qt::LeftButton) return;
  in_double_click_ = true;
  if (indexAt(event->position().toPoint()).isValid()) emit double_clicked();
}

void SoundListWidget::keyPressEvent(QKeyEvent* event) {
  // Shift or Ctrl with Delete belong to the window's removal commands.
  const bool modified = (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) != 0;
  if (int code = modified && event->key() == Qt::Key_Delete ? 0 : key_code_of(event->key())) {
    event->accept();
    emit key_command(code);
    return;
  }
  int before = selected_row();
  QListView::keyPressEvent(event);
  int after = selected_row();
  if (after >= 0 && after != before) emit selection_changed_by_user();
}

}  // namespace brisca
