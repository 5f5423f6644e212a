#include "app/gui/sound_list_widget.h"

#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>
#include <unordered_map>
#include <vector>

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

SoundListWidget::SoundListWidget(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);  // shown only when rows are hidden
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setUniformItemSizes(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setDragEnabled(false);
  setAcceptDrops(false);
}

void SoundListWidget::show_rows(SoundList& list) {
  if (list_ != nullptr) list_->set_view(nullptr);
  list_ = &list;
  list.set_view(this);
  clear();
  for (int index = 0; index < list.count(); ++index) addItem(new_item(index));
}

QListWidgetItem* SoundListWidget::new_item(int index) const {
  const Row& row = list_->row(index);
  auto* item = new QListWidgetItem(QFile::decodeName(QByteArray::fromStdString(row.name)));
  item->setData(kIdRole, QVariant::fromValue<qulonglong>(row.id));
  return item;
}

std::string SoundListWidget::text(int index) const {
  return list_ != nullptr && index >= 0 && index < list_->count() ? list_->row(index).name
                                                                  : std::string();
}

void SoundListWidget::set_sorted(bool sorted) {
  if (list_ != nullptr) list_->set_sorted(sorted);
}

void SoundListWidget::row_inserted(int index) {
  insertItem(index, new_item(index));
}

void SoundListWidget::row_removed(int index) {
  delete takeItem(index);
}

void SoundListWidget::row_changed(int index) {
  if (QListWidgetItem* row = item(index)) viewport()->update(visualItemRect(row));
}

// When the list's order changed, the items follow it; the current row stays current.
void SoundListWidget::rows_changed() {
  bool same_order = count() == list_->count();
  for (int index = 0; same_order && index < count(); ++index)
    same_order = item(index)->data(kIdRole).toULongLong() == list_->row(index).id;
  if (!same_order) follow_order();
  viewport()->update();
}

void SoundListWidget::follow_order() {
  QListWidgetItem* current = currentItem();
  const RowId current_id = current ? current->data(kIdRole).toULongLong() : kNoRow;
  std::unordered_map<RowId, QListWidgetItem*> items;
  while (count() > 0) {
    QListWidgetItem* taken = takeItem(0);
    items[taken->data(kIdRole).toULongLong()] = taken;
  }
  for (int index = 0; index < list_->count(); ++index) {
    auto it = items.find(list_->row(index).id);
    addItem(it != items.end() ? it->second : new_item(index));
    if (it != items.end()) items.erase(it);
  }
  for (auto& left : items) delete left.second;
  const int now = list_->index_of(current_id);
  if (now >= 0) setCurrentRow(now);
}

int SoundListWidget::selected_row() const {
  const QList<QListWidgetItem*> rows = selectedItems();
  return rows.isEmpty() ? -1 : row(rows.first());
}

void SoundListWidget::mousePressEvent(QMouseEvent* event) {
  pressed_on_row_ = indexAt(event->position().toPoint()).isValid();
  QListWidget::mousePressEvent(event);
}

// The selection is reported when the button comes up, also when the row was already selected:
// clicking a row again plays it again.
void SoundListWidget::mouseReleaseEvent(QMouseEvent* event) {
  QListWidget::mouseReleaseEvent(event);
  bool report = event->button() == Qt::LeftButton && pressed_on_row_ && !in_double_click_;
  pressed_on_row_ = false;
  in_double_click_ = false;
  if (report && selected_row() >= 0) emit selection_changed_by_user();
}

void SoundListWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  QListWidget::mouseDoubleClickEvent(event);
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
  QListWidget::keyPressEvent(event);
  int after = selected_row();
  if (after >= 0 && after != before) emit selection_changed_by_user();
}

}  // namespace brisca
