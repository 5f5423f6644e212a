// How the controls follow the window's size. At the design's client size (441 x 273, or
// 441 x 356 with the monitor shown) every control keeps its place; a larger window gives the
// path field and the sound list the extra width and the list the extra height, while the button
// column keeps its distance from the right edge and the monitor row stays below the list,
// its fields widened in proportion.
#pragma once

#include <QObject>
#include <QRect>
#include <functional>
#include <map>

namespace brisca {

struct Controls;

class ResizeLayout : public QObject {
 public:
  // Takes the current geometry of each control on `client` as its place at the design size and
  // follows the client's size from then on.
  ResizeLayout(QWidget* client, Controls& controls);

  // The monitor row takes kMonitorRowHeight from the bottom of the list when shown.
  void set_monitor_shown(bool shown);
  // The client height at which the list has its design height.
  int design_height() const;
  // How much larger than its design size the list is now.
  int extra_list_height() const;
  // The status line's place over the foot of the list (client coordinates).
  QRect status_rect() const;
  // Places every control for the client's current size, then runs `after` (for what lies over
  // the controls, such as the status line).
  void apply();
  void set_after_apply(std::function<void()> after) { after_ = std::move(after); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QRect placed(QWidget* control, const QRect& design, int dx, int dy) const;

  QWidget* client_;
  Controls& controls_;
  std::map<QWidget*, QRect> design_;
  bool monitor_shown_ = false;
  int fitted_width_ = -1;
  std::function<void()> after_;  // the client width the monitor fields' fonts were fitted at
};

}  // namespace brisca
