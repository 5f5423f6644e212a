#include "app/gui/sound_list_widget.h"

#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>
#include <vector>

namespace brisca {
namespace {

// Case-insensitive order of row texts (ASCII letters fold; other bytes compare as they are).
int compare_folded(const QByteArray& a, const QByteArray& b) {
  return qstricmp(a.constData(), b.constData());
}

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

int SoundListWidget::add_row(const std::string& text) {
  QByteArray name = QByteArray::fromStdString(text);
  // After the last row that does not sort behind the new text, like a sorted list box.
  int low = sorted_ ? 0 : count(), high = count();
  while (low < high) {
    int mid = (low + high) / 2;
    if (compare_folded(item(mid)->data(kNameRole).toByteArray(), name) <= 0)
      low = mid + 1;
    else
      high = mid;
  }
  auto* row = new QListWidgetItem(QFile::decodeName(name));
  row->setData(kNameRole, name);
  row->setData(kWordRole, 0u);
  row->setData(kOrderRole, QVariant::fromValue<qulonglong>(added_++));
  insertItem(low, row);
  return low;
}

void SoundListWidget::remove_row(int index) {
  delete takeItem(index);
}

void SoundListWidget::set_sorted(bool sorted) {
  if (sorted == sorted_) return;
  sorted_ = sorted;
  QListWidgetItem* current = currentItem();
  std::vector<QListWidgetItem*> rows;
  while (count() > 0) rows.push_back(takeItem(0));
  auto order = [](const QListWidgetItem* r) { return r->data(kOrderRole).toULongLong(); };
  std::stable_sort(rows.begin(), rows.end(), [&](QListWidgetItem* a, QListWidgetItem* b) {
    if (sorted_) {
      int by_name =
          compare_folded(a->data(kNameRole).toByteArray(), b->data(kNameRole).toByteArray());
      if (by_name != 0) return by_name < 0;
    }
    return order(a) < order(b);
  });
  for (QListWidgetItem* r : rows) addItem(r);
  if (current != nullptr) setCurrentItem(current);
}

std::string SoundListWidget::text(int index) const {
  QListWidgetItem* row = item(index);
  return row ? row->data(kNameRole).toByteArray().toStdString() : std::string();
}

std::uint32_t SoundListWidget::item_word(int index) const {
  QListWidgetItem* row = item(index);
  return row ? row->data(kWordRole).toUInt() : 0u;
}

void SoundListWidget::set_item_word(int index, std::uint32_t word) {
  if (QListWidgetItem* row = item(index)) row->setData(kWordRole, word);
}

int SoundListWidget::top_index() const {
  return verticalScrollBar()->value();
}

int SoundListWidget::visible_height() const {
  return viewport()->height();
}

void SoundListWidget::repaint_row(int index) {
  if (QListWidgetItem* row = item(index)) viewport()->update(visualItemRect(row));
}

void SoundListWidget::repaint_all() {
  viewport()->update();
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
