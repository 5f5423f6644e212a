#include "app/gui/row_delegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include "app/gui/overview_cache.h"
#include "app/gui/overview_painter.h"
#include "app/gui/sound_list_model.h"
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

const QPixmap* RowBitmaps::for_row(const QModelIndex& index) const {
  const QPixmap* chosen = nullptr;
  if (index.data(SoundListModel::kSendingRole).toBool())
    chosen = &anim[static_cast<std::size_t>(index.data(SoundListModel::kFrameRole).toInt() & 3)];
  else if (index.data(SoundListModel::kSelectedRole).toBool())
    chosen = &select;
  else if (index.data(SoundListModel::kSentRole).toBool())
    chosen = &done;
  return chosen != nullptr && !chosen->isNull() ? chosen : nullptr;
}

// The widest row text, capped at the texts' share of the row.
int RowDelegate::label_room(const QStyleOptionViewItem& option,
                            const QAbstractItemModel* rows) const {
  if (widest_label_ < 0 || widest_font_ != option.font) {
    widest_label_ = 0;
    widest_font_ = option.font;
    for (int row = 0; rows != nullptr && row < rows->rowCount(); ++row)
      widest_label_ =
          std::max(widest_label_,
                   option.fontMetrics.horizontalAdvance(rows->index(row, 0).data().toString()));
  }
  const int share = static_cast<int>((option.rect.width() - kTextLeft) * kLabelShare);
  return std::min(widest_label_, share);
}

int RowDelegate::column_left(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  return option.rect.left() + kTextLeft + label_room(option, index.model()) + kOverviewGap;
}

void RowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const {
  if (!index.data(SoundListModel::kIdRole).isValid()) return;
  const QRect rect = option.rect;
  painter->save();
  painter->fillRect(rect, option.palette.base());
  if (const QPixmap* bitmap = bitmaps_.for_row(index)) {
    QRect source(0, 0, std::min(bitmap->width(), rect.width()),
                 std::min(bitmap->height(), rect.height()));
    painter->drawPixmap(rect.topLeft(), *bitmap, source);
  }
  QString label = index.data().toString();
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
  const bool overviews = cache_ != nullptr;
  if (overviews) {
    // A name too long for the texts' share loses its middle; the block count stays whole.
    const int room = label_room(option, index.model());
    if (option.fontMetrics.horizontalAdvance(label) > room) {
      const int blocks = index.data(SoundListModel::kBlocksRole).toInt();
      const QString count = QString::fromStdString(row_label(Row{kNoRow, 0, "", blocks}));
      label = option.fontMetrics.elidedText(index.data(SoundListModel::kNameRole).toString(),
                                            Qt::ElideMiddle,
                                            room - option.fontMetrics.horizontalAdvance(count)) +
              count;
    }
  }
  const int baseline =
      rect.top() + (rect.height() - option.fontMetrics.height()) / 2 + option.fontMetrics.ascent();
  painter->drawText(rect.left() + kTextLeft, baseline, label);
  if (overviews)
    paint_row_overview(painter, option, column_left(option, index), index, ink, background);
  if ((option.state & QStyle::State_HasFocus) != 0) draw_focus_rect(painter, band, ink);
  painter->restore();
}

void RowDelegate::paint_row_overview(QPainter* painter, const QStyleOptionViewItem& option,
                                     int column_left, const QModelIndex& index, const QColor& ink,
                                     const QColor& background) const {
  const QRect column =
      overview_column(option.rect, column_left, duration_room(option.fontMetrics, scale_));
  if (column.isEmpty()) return;
  const std::string path = index.data(SoundListModel::kPathRole).toByteArray().toStdString();
  std::shared_ptr<const SoundOverview> overview = cache_->find(path);
  if (!overview) return;  // drawn once it is ready
  OverviewLook look{ink, background, scale_, std::nullopt};
  if (cursor_ != nullptr && cursor_->played && cursor_->path == path) look.played = cursor_->played;
  paint_overview(painter, column, *overview, look);
}

bool RowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                            const QStyleOptionViewItem& option, const QModelIndex& index) {
  if (event->type() != QEvent::ToolTip || cache_ == nullptr ||
      !index.data(SoundListModel::kIdRole).isValid())
    return QStyledItemDelegate::helpEvent(event, view, option, index);
  const std::string path = index.data(SoundListModel::kPathRole).toByteArray().toStdString();
  std::shared_ptr<const SoundOverview> overview = cache_->last(path);
  QToolTip::showText(event->globalPos(),
                     overview_tooltip(path, index.data(SoundListModel::kBlocksRole).toInt(),
                                      overview.get(), pace_ != nullptr ? *pace_ : Pace{}),
                     view, option.rect);
  return true;
}

QSize RowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return QSize(option.rect.width(), row_height_for(option.fontMetrics));
}

}  // namespace brisca
