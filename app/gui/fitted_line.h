// One line of text in a label of fixed width: a line too long for it loses the middle of the
// folder or file name it holds, so that the figures around the name stay whole, and the whole
// line becomes the label's tooltip.
#pragma once

#include <QString>

class QFontMetrics;
class QLabel;

namespace brisca {

// `line` shortened to at most `width` pixels in `metrics`: the middle of `name` (a part of the
// line) gives way first; when even "…" for the whole name does not fit, the end of the line.
QString fit_line(const QFontMetrics& metrics, const QString& line, const QString& name, int width);

// The width a one-line label can show its text in: its contents less margin and indent.
int line_room(const QLabel* label);

// Shows `line` on `label` as fit_line() makes it fit there; the tooltip is the whole line when it
// was shortened, else empty. True when it was shortened.
bool show_fitted(QLabel* label, const QString& line, const QString& name);

}  // namespace brisca
