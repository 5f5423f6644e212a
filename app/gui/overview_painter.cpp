#include "app/gui/overview_painter.h"

#include <QFile>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

namespace brisca {
namespace {

const QColor kDamagedInk(176, 0, 0);
const QColor kDamagedBand(255, 214, 214);
const QColor kCursorInk(220, 0, 0);
constexpr int kQuietestPeak = 1024;  // a sound quieter than this is drawn at its true size

void paint_damaged(QPainter* painter, const QRect& area) {
  painter->fillRect(area, kDamagedBand);
  painter->fillRect(area, QBrush(kDamagedInk, Qt::BDiagPattern));
  QFont font = painter->font();
  font.setBold(true);
  painter->setFont(font);
  const QString text = QStringLiteral("damaged");
  const QRect label(area.left() + 2, area.top(), painter->fontMetrics().horizontalAdvance(text) + 6,
                    area.height());
  painter->fillRect(label, kDamagedBand);
  painter->setPen(kDamagedInk);
  painter->setClipping(false);  // the text may reach a pixel above and below the band
  painter->drawText(label.adjusted(0, -1, 0, 1), Qt::AlignCenter, text);
  painter->drawRect(area.adjusted(0, 0, -1, -1));
}

// The sound's loudest sample fills the height (quiet sounds are not drawn as a flat line).
double envelope_scale(const std::vector<SampleRange>& columns, int height) {
  int peak = kQuietestPeak;
  for (const SampleRange& c : columns) peak = std::max({peak, -int{c.low}, int{c.high}});
  return (height - 1) / (2.0 * peak);
}

void paint_envelope(QPainter* painter, const QRect& area, const SoundOverview& overview,
                    const QColor& ink) {
  const std::vector<SampleRange> columns = overview.columns(area.width());
  const double middle = area.top() + (area.height() - 1) / 2.0;
  const double scale = envelope_scale(columns, area.height());
  painter->setPen(ink);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const int x = area.left() + static_cast<int>(i);
    // Higher samples are drawn higher; every column shows at least one pixel.
    const int top = static_cast<int>(std::lround(middle - columns[i].high * scale));
    const int bottom =
        std::max(top, static_cast<int>(std::lround(middle - columns[i].low * scale)));
    painter->drawLine(x, top, x, bottom);
  }
}

QString seconds_text(double seconds) {
  return QStringLiteral("%1 s").arg(seconds, 0, 'f', seconds < 10 ? 2 : 1);
}

}  // namespace

QRect overview_area(const QRect& row, int text_right) {
  QRect area(text_right + kOverviewGap, row.top() + 1, row.right() - 2 - text_right - kOverviewGap,
             row.height() - 2);
  return area.width() >= kOverviewMinWidth ? area : QRect();
}

void paint_overview(QPainter* painter, const QRect& area, const SoundOverview& overview,
                    const QColor& ink, std::optional<double> played) {
  if (area.isEmpty()) return;
  painter->save();
  painter->setClipRect(area);
  if (overview.damaged() || overview.samples == 0)
    paint_damaged(painter, area);
  else
    paint_envelope(painter, area, overview, ink);
  if (played) {
    const double at = std::clamp(*played, 0.0, 1.0);
    const int x = area.left() + static_cast<int>(at * (area.width() - 1));
    painter->fillRect(QRect(x, area.top() - 1, 2, area.height() + 2), kCursorInk);
  }
  painter->restore();
}

QString overview_tooltip(const std::string& path, int blocks, const SoundOverview* overview,
                         const Pace& pace) {
  QStringList lines{QFile::decodeName(QByteArray::fromStdString(path))};
  if (overview != nullptr && overview->has_header)
    lines << QStringLiteral("Name \"%1\", type \"%2\"")
                 .arg(QString::fromLatin1(overview->name.c_str()),
                      QString::fromLatin1(overview->type.c_str()));
  if (overview != nullptr)
    lines << QStringLiteral("Duration %1").arg(seconds_text(overview->seconds()));
  lines << QStringLiteral("Blocks %1").arg(blocks);
  if (overview != nullptr) {
    lines << QStringLiteral("Down-load takes about %1")
                 .arg(seconds_text(overview->download_seconds(pace)));
    if (overview->damaged())
      lines << QStringLiteral("Damaged: %1").arg(QString::fromStdString(overview->problem));
  }
  return lines.join(QLatin1Char('\n'));
}

}  // namespace brisca
