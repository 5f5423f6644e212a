#include "app/gui/row_delegate.h"

#include <QAbstractItemView>
#include <QFile>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include "app/gui/overview_cache.h"
#include "app/gui/overview_painter.h"
#include "app/gui/sound_list_widget.h"

namespace brisca {
namespace {

constexpr int kHighlightLeft = 18;
constexpr int kTextLeft = 20;
// The texts take at most this share of a row when the overviews need the rest; longer names
// are shortened in the middle.
constexpr double kLabelShare = 0.55;

void draw_focus_rect(QPainter* painter, const QRect& rect, const QColor& colour) {
  painter->save();
  QPen pen(colour, 1, Qt::DotLine);
  painter->setPen(pen);
  painter->setBrush(Qt::NoBrush);
  painter->drawRect(rect.adjusted(0, 0, -1, -1));
  painter->restore();
}

}  // namespace

RowBitmaps RowBitmaps::load() {
  RowBitmaps b;
  b.select.load(QStringLiteral(":/BMP_SELECT"));
  b.done.load(QStringLiteral(":/BMP_DONE"));
  for (int i = 0; i < 4; ++i)
    b.anim[static_cast<std::size_t>(i)].load(QStringLiteral(":/BMP_ANIM%1").arg(i));
  return b;
}

const QPixmap* RowBitmaps::for_row(const Row& row, int animation_counter) const {
  const QPixmap* chosen = nullptr;
  if (row.sending)
    chosen = &anim[static_cast<std::size_t>(animation_counter & 3)];
  else if (row.selected)
    chosen = &select;
  else if (row.sent)
    chosen = &done;
  return chosen != nullptr && !chosen->isNull() ? chosen : nullptr;
}

// The widest row text, capped at the texts' share of the row.
int RowDelegate::label_room(const QStyleOptionViewItem& option) const {
  if (widest_label_ < 0 || widest_font_ != option.font) {
    widest_label_ = 0;
    widest_font_ = option.font;
    for (int row = 0; row < rows_.count(); ++row) {
      const std::string label = row_label(rows_.row(row));
      widest_label_ =
          std::max(widest_label_, option.fontMetrics.horizontalAdvance(
                                      QFile::decodeName(QByteArray::fromStdString(label))));
    }
  }
  const int share = static_cast<int>((option.rect.width() - kTextLeft) * kLabelShare);
  return std::min(widest_label_, share);
}

int RowDelegate::column_left(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return option.rect.left() + kTextLeft + label_room(option) + kOverviewGap;
}

void RowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const {
  if (!index.isValid() || index.row() >= rows_.count()) return;
  const QRect rect = option.rect;
  const Row& row = rows_.row(index.row());
  painter->save();
  painter->fillRect(rect, option.palette.base());
  if (const QPixmap* bitmap = bitmaps_.for_row(row, rows_.state().animation_counter)) {
    QRect source(0, 0, std::min(bitmap->width(), rect.width()),
                 std::min(bitmap->height(), rect.height()));
    painter->drawPixmap(rect.topLeft(), *bitmap, source);
  }
  QString label = QFile::decodeName(QByteArray::fromStdString(row_label(row)));
  const bool highlighted = (option.state & QStyle::State_Selected) != 0;
  const QRect band(rect.left() + kHighlightLeft, rect.top(), rect.width() - kHighlightLeft,
                   rect.height());
  const QColor ink =
      highlighted ? option.palette.highlightedText().color() : option.palette.text().color();
  const QColor background =
      highlighted ? option.palette.highlight().color() : option.palette.base().color();
  if (highlighted) painter->fillRect(band, background);
  painter->setPen(ink);
  painter->setFont(option.font);
  const bool overviews = list_ != nullptr && cache_ != nullptr;
  if (overviews) {
    // A name too long for the texts' share loses its middle; the block count stays whole.
    const int room = label_room(option);
    if (option.fontMetrics.horizontalAdvance(label) > room) {
      const QString count = QString::fromStdString(row_label(Row{kNoRow, 0, "", row.blocks}));
      label = option.fontMetrics.elidedText(QFile::decodeName(QByteArray::fromStdString(row.name)),
                                            Qt::ElideMiddle,
                                            room - option.fontMetrics.horizontalAdvance(count)) +
              count;
    }
  }
  const int baseline =
      rect.top() + (rect.height() - option.fontMetrics.height()) / 2 + option.fontMetrics.ascent();
  painter->drawText(rect.left() + kTextLeft, baseline, label);
  if (overviews)
    paint_row_overview(painter, option, column_left(option, index), index.row(), ink, background);
  if ((option.state & QStyle::State_HasFocus) != 0) draw_focus_rect(painter, band, ink);
  painter->restore();
}

void RowDelegate::paint_row_overview(QPainter* painter, const QStyleOptionViewItem& option,
                                     int column_left, int index, const QColor& ink,
                                     const QColor& background) const {
  const QRect column =
      overview_column(option.rect, column_left, duration_room(option.fontMetrics, scale_));
  if (column.isEmpty()) return;
  const std::string path = list_->full_path(index);
  std::shared_ptr<const SoundOverview> overview = cache_->find(path);
  if (!overview) return;  // drawn once it is ready
  OverviewLook look{ink, background, scale_, std::nullopt};
  if (cursor_ != nullptr && cursor_->played && cursor_->path == path) look.played = cursor_->played;
  paint_overview(painter, column, *overview, look);
}

bool RowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                            const QStyleOptionViewItem& option, const QModelIndex& index) {
  if (event->type() != QEvent::ToolTip || list_ == nullptr || !index.isValid() ||
      index.row() >= rows_.count())
    return QStyledItemDelegate::helpEvent(event, view, option, index);
  const std::string path = list_->full_path(index.row());
  std::shared_ptr<const SoundOverview> overview = cache_ ? cache_->last(path) : nullptr;
  QToolTip::showText(event->globalPos(),
                     overview_tooltip(path, rows_.row(index.row()).blocks, overview.get(),
                                      pace_ != nullptr ? *pace_ : Pace{}),
                     view, option.rect);
  return true;
}

QSize RowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return QSize(option.rect.width(), row_height_for(option.fontMetrics));
}

}  // namespace brisca
