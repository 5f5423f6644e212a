#include "app/gui/window_resize.h"

#include <QEvent>
#include <QLineEdit>
#include <QWidget>
#include <cmath>

#include "app/gui/sound_list_widget.h"
#include "app/gui/window_layout.h"

namespace brisca {
namespace {

constexpr int kColumnLeft = 345;  // controls from here rightwards belong to the button column
constexpr int kMonitorTop = 266;  // controls from here down belong to the monitor row
constexpr int kRowLeft = 10;      // the monitor fields span kRowLeft..kRowRight at design size
constexpr int kRowRight = 425;

}  // namespace

ResizeLayout::ResizeLayout(QWidget* client, Controls& controls)
    : QObject(client), client_(client), controls_(controls) {
  for (QWidget* child : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    design_[child] = child->geometry();
  client->installEventFilter(this);
}

void ResizeLayout::set_monitor_shown(bool shown) {
  monitor_shown_ = shown;
}

int ResizeLayout::design_height() const {
  return monitor_shown_ ? kClientHeightWithMonitor : kClientHeight;
}

int ResizeLayout::extra_list_height() const {
  return std::max(0, client_->height() - design_height());
}

QRect ResizeLayout::status_rect() const {
  const int dx = std::max(0, client_->width() - kClientWidth);
  return kStatusRect.adjusted(0, extra_list_height(), dx, extra_list_height());
}

bool ResizeLayout::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_ && event->type() == QEvent::Resize) apply();
  return false;
}

QRect ResizeLayout::placed(QWidget* control, const QRect& design, int dx, int dy) const {
  if (control == controls_.list) return design.adjusted(0, 0, dx, dy);
  if (design.top() < kMonitorTop)
    return design.left() >= kColumnLeft ? design.translated(dx, 0) : design.adjusted(0, 0, dx, 0);
  // The monitor row: what spans the row's width (or sits in the button column) moves with the
  // right edge; the fields share the width in their design proportions.
  const QRect moved = design.translated(0, dy);
  if (design.right() >= kRowRight)
    return design.left() >= kColumnLeft ? moved.translated(dx, 0) : moved.adjusted(0, 0, dx, 0);
  const double scale =
      static_cast<double>(kRowRight - kRowLeft + dx) / static_cast<double>(kRowRight - kRowLeft);
  auto at = [scale](int x) {
    return kRowLeft + static_cast<int>(std::lround((x - kRowLeft) * scale));
  };
  return QRect(QPoint(at(design.left()), moved.top()),
               QPoint(at(design.right() + 1) - 1, moved.bottom()));
}

void ResizeLayout::apply() {
  const int dx = std::max(0, client_->width() - kClientWidth);
  const int dy = extra_list_height();
  for (const auto& [control, design] : design_)
    control->setGeometry(placed(control, design, dx, dy));
  if (fitted_width_ != client_->width()) {
    fitted_width_ = client_->width();
    // Wider monitor fields may show their texts in the window's face again.
    for (int index = 0; index < kMonitorFieldCount; ++index) {
      QLineEdit* field = controls_.fields[static_cast<std::size_t>(index)];
      if (field == nullptr) continue;
      field->setFont(client_->font());
      fit_monitor_field(field, index);
    }
  }
  if (after_) after_();
}

}  // namespace brisca
