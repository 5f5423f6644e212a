// How the controls follow the window's size. At the design's client size (441 x 273, or
// 441 x 356 with the monitor shown) every control keeps its place; a larger window gives the
// path field and the sound list the extra width and the list the extra height, while the button
// column keeps its distance from the right edge and the monitor row stays below the list,
// its fields widened in proportion.
#pragma once

#include <QBoxLayout>
#include <QRect>
#include <array>
#include <functional>

#include "app/gui/window_layout.h"

namespace brisca {

// The client's layout: the upper grid (captions, fields, list, buttons) over the monitor row.
// While the monitor is hidden the row keeps its place below the client area, out of view, and
// the list its height, as if the client reached that far down.
class ClientLayout : public QVBoxLayout {
 public:
  // Takes `controls`' grids onto `client`.
  ClientLayout(QWidget* client, Controls& controls);

  void set_monitor_shown(bool shown);
  // The client height at which the list has its design height.
  int design_height() const;
  // The status line's place over the foot of the list (client coordinates).
  QRect status_rect() const;
  // Places every control for the client's current size now (Qt would wait until a hidden window
  // is shown); `after` runs after each placing (for what lies over the controls, such as the
  // status line).
  void apply();
  void set_after_apply(std::function<void()> after) { after_ = std::move(after); }

  void setGeometry(const QRect& rect) override;
  QSize sizeHint() const override;
  QSize minimumSize() const override;

 private:
  // Monitor fields are fitted to their text again when their width changed.
  void fit_monitor_fields();

  QWidget* client_;
  Controls& controls_;
  int below_ = 0;  // how far the layout reaches below the client
  std::array<int, kMonitorFieldCount> fitted_widths_{};
  std::function<void()> after_;
};

}  // namespace brisca
