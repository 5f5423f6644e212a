#include "app/gui/overview_painter.h"

#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QRegularExpression>
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

// One column of the envelope per device pixel, drawn into an image of the device's resolution.
QImage envelope_image(const QSize& size, const SoundOverview& overview, const OverviewLook& look) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(look.background);
  const std::vector<SampleRange> columns = overview.columns(size.width());
  const double middle = (size.height() - 1) / 2.0;
  const double scale = envelope_scale(columns, size.height());
  const QRgb ink = look.ink.rgb();
  const long last = size.height() - 1L;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    // Higher samples are drawn higher; every column shows at least one pixel.
    const long top = std::clamp(std::lround(middle - columns[i].high * scale), 0L, last);
    const long bottom = std::clamp(std::lround(middle - columns[i].low * scale), top, last);
    for (long y = top; y <= bottom; ++y)
      reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)))[i] = ink;
  }
  return image;
}

// The envelope put on the row unscaled: as sharp as the text on a screen that scales by 2. The
// drawn envelopes are kept (by their contents, size and colours), so scrolling draws each once.
void paint_envelope(QPainter* painter, const QRect& area, const SoundOverview& overview,
                    const OverviewLook& look) {
  const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
  const QSize size(std::max(1, static_cast<int>(std::lround(area.width() * ratio))),
                   std::max(1, static_cast<int>(std::lround(area.height() * ratio))));
  const auto* bytes = reinterpret_cast<const char*>(overview.envelope.data());
  const QString key =
      QStringLiteral("brisca-envelope-%1-%2-%3x%4-%5-%6")
          .arg(qHash(QByteArrayView(
              bytes, static_cast<qsizetype>(overview.envelope.size() * sizeof(SampleRange)))))
          .arg(overview.samples)
          .arg(size.width())
          .arg(size.height())
          .arg(look.ink.rgb())
          .arg(look.background.rgb());
  // Room for a few pages of a maximised list at a scale factor of 2.
  static const bool roomy =
      (QPixmapCache::setCacheLimit(std::max(QPixmapCache::cacheLimit(), 64 * 1024)), true);
  (void)roomy;
  QPixmap pixmap;
  if (!QPixmapCache::find(key, &pixmap)) {
    pixmap = QPixmap::fromImage(envelope_image(size, overview, look));
    QPixmapCache::insert(key, pixmap);
  }
  pixmap.setDevicePixelRatio(ratio);
  painter->drawPixmap(area.topLeft(), pixmap);
}

QString seconds_text(double seconds) {
  return QStringLiteral("%1 s").arg(seconds, 0, 'f', seconds < 10 ? 2 : 1);
}

constexpr int kDurationGap = 4;  // between the envelope's end and the duration

}  // namespace

double overview_scale(double longest) {
  static constexpr double kSteps[] = {1, 1.5, 2, 2.5, 3, 4, 5, 6, 8, 10};
  if (!(longest > 0.1)) return 0.1;
  double decade = std::pow(10.0, std::floor(std::log10(longest)));
  for (double step : kSteps)
    if (step * decade >= longest * (1 - 1e-9)) return step * decade;
  return 10 * decade;
}

QString scale_text(double seconds) {
  return QStringLiteral("%1 s").arg(seconds, 0, 'g', 3);
}

QString duration_text(double seconds) {
  return seconds_text(seconds);
}

int duration_room(const QFontMetrics& metrics, double scale) {
  // The widest duration up to the scale, with the widest digits.
  const QString widest = duration_text(scale).replace(QRegularExpression(QStringLiteral("[0-9]")),
                                                      QStringLiteral("8"));
  return kDurationGap + metrics.horizontalAdvance(widest) + 2;
}

QRect overview_column(const QRect& row, int column_left, int room) {
  QRect column(column_left, row.top() + 1, row.right() - room - column_left, row.height() - 2);
  return column.width() >= kOverviewMinWidth ? column : QRect();
}

QRect envelope_area(const QRect& column, double seconds, double scale) {
  const double part = scale > 0 ? std::clamp(seconds / scale, 0.0, 1.0) : 1.0;
  const int width = std::max(1, static_cast<int>(std::lround(column.width() * part)));
  return QRect(column.left(), column.top(), width, column.height());
}

void paint_overview(QPainter* painter, const QRect& column, const SoundOverview& overview,
                    const OverviewLook& look) {
  if (column.isEmpty()) return;
  painter->save();
  painter->setClipRect(column.adjusted(0, -1, 0, 1));
  if (overview.damaged()) {
    paint_damaged(painter, column);
    painter->restore();
    return;
  }
  // A whole sound without samples (a header alone) has no envelope, only its duration.
  const QRect area = envelope_area(column, overview.seconds(), look.scale);
  if (overview.samples > 0) paint_envelope(painter, area, overview, look);
  if (look.played) {
    const double at = std::clamp(*look.played, 0.0, 1.0);
    const int x = area.left() + static_cast<int>(at * (area.width() - 1));
    painter->fillRect(QRect(x, area.top() - 1, 2, area.height() + 2), kCursorInk);
  }
  painter->setClipping(false);
  painter->setPen(look.ink);
  const QRect text(area.right() + 1 + kDurationGap, column.top() - 1,
                   painter->fontMetrics().horizontalAdvance(duration_text(overview.seconds())) + 2,
                   column.height() + 2);
  painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, duration_text(overview.seconds()));
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
