#include "app/gui/fitted_line.h"

#include <QFontMetrics>
#include <QLabel>
#include <algorithm>

namespace brisca {

QString fit_line(const QFontMetrics& metrics, const QString& line, const QString& name, int width) {
  if (metrics.horizontalAdvance(line) <= width) return line;
  const qsizetype at = name.isEmpty() ? -1 : line.indexOf(name);
  if (at >= 0) {
    const QString head = line.left(at), tail = line.mid(at + name.size());
    const QString ellipsis(QChar(0x2026));
    // The parts measured apart may come to a pixel or two more or less than the line.
    for (int room = width - metrics.horizontalAdvance(head + tail);
         room >= metrics.horizontalAdvance(ellipsis); --room) {
      const QString shown = head + metrics.elidedText(name, Qt::ElideMiddle, room) + tail;
      if (metrics.horizontalAdvance(shown) <= width) return shown;
    }
  }
  return metrics.elidedText(line, Qt::ElideRight, width);
}

int line_room(const QLabel* label) {
  int indent = label->indent();
  if (indent < 0)
    indent = label->frameWidth() > 0 ? label->fontMetrics().horizontalAdvance('x') / 2 : 0;
  return std::max(0, label->contentsRect().width() - 2 * label->margin() - indent);
}

bool show_fitted(QLabel* label, const QString& line, const QString& name) {
  const QString shown = fit_line(label->fontMetrics(), line, name, line_room(label));
  const bool shortened = shown != line;
  label->setText(shown);
  label->setToolTip(shortened ? line : QString());
  return shortened;
}

}  // namespace brisca
