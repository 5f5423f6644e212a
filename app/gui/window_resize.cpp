#include "app/gui/window_resize.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QWidget>

#include "app/gui/sound_list_widget.h"

namespace brisca {

ClientLayout::ClientLayout(QWidget* client, Controls& controls)
    : QVBoxLayout(client), client_(client), controls_(controls) {
  setContentsMargins(kClientMargins);
  setSpacing(0);
  addLayout(controls.upper, 1);
  addLayout(controls.monitor_row);
  set_monitor_shown(false);
}

void ClientLayout::set_monitor_shown(bool shown) {
  below_ = shown ? 0 : kClientHeightWithMonitor - kClientHeight;
  invalidate();
}

int ClientLayout::design_height() const {
  return below_ == 0 ? kClientHeightWithMonitor : kClientHeight;
}

QRect ClientLayout::status_rect() const {
  const QSize grown = controls_.list->size() - kListSize;
  return kStatusRect.adjusted(0, grown.height(), grown.width(), grown.height());
}

void ClientLayout::apply() {
  // The window's own layout first, for the client's size.
  if (QLayout* window = client_->window()->layout()) {
    window->invalidate();
    window->activate();
  }
  invalidate();
  activate();
}

void ClientLayout::setGeometry(const QRect& rect) {
  QVBoxLayout::setGeometry(rect.adjusted(0, 0, 0, below_));
  fit_monitor_fields();
  if (after_) after_();
}

QSize ClientLayout::sizeHint() const {
  return QVBoxLayout::sizeHint() - QSize(0, below_);
}

QSize ClientLayout::minimumSize() const {
  return QVBoxLayout::minimumSize() - QSize(0, below_);
}

// Wider monitor fields may show their texts in the window's face again.
void ClientLayout::fit_monitor_fields() {
  for (int index = 0; index < kMonitorFieldCount; ++index) {
    QLineEdit* field = controls_.fields[static_cast<std::size_t>(index)];
    int& fitted = fitted_widths_[static_cast<std::size_t>(index)];
    if (field == nullptr || field->width() == fitted) continue;
    fitted = field->width();
    field->setFont(client_->font());
    fit_monitor_field(field, index);
  }
}

}  // namespace brisca
