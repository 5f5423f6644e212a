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

const QPixmap* RowBitmaps::for_word(std::uint32_t word, int animation_counter) const {
  const QPixmap* chosen = nullptr;
  if ((word & ITEM_SENDING) != 0)
    chosen = &anim[static_cast<std::size_t>(animation_counter & 3)];
  else if ((word & ITEM_SELECTED) != 0)
    chosen = &select;
  else if ((word & ITEM_SENT) != 0)
    chosen = &done;
  return chosen != nullptr && !chosen->isNull() ? chosen : nullptr;
}

void RowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const {
  if (!index.isValid()) return;
  const QRect rect = option.rect;
  const std::uint32_t word = index.data(SoundListWidget::kWordRole).toUInt();
  painter->save();
  painter->fillRect(rect, option.palette.base());
  if (const QPixmap* bitmap = bitmaps_.for_word(word, state_.animation_counter)) {
    QRect source(0, 0, std::min(bitmap->width(), rect.width()),
                 std::min(bitmap->height(), rect.height()));
    painter->drawPixmap(rect.topLeft(), *bitmap, source);
  }
  std::string name = index.data(SoundListWidget::kNameRole).toByteArray().toStdString();
  QString label = QFile::decodeName(QByteArray::fromStdString(row_label(name, word)));
  const bool highlighted = (option.state & QStyle::State_Selected) != 0;
  const QRect band(rect.left() + kHighlightLeft, rect.top(), rect.width() - kHighlightLeft,
                   rect.height());
  if (highlighted) {
    painter->fillRect(band, option.palette.highlight());
    painter->setPen(option.palette.highlightedText().color());
  } else {
    painter->setPen(option.palette.text().color());
  }
  painter->setFont(option.font);
  painter->drawText(rect.left() + kTextLeft, rect.top() + option.fontMetrics.ascent(), label);
  paint_row_overview(painter, rect,
                     rect.left() + kTextLeft + option.fontMetrics.horizontalAdvance(label),
                     index.row(), painter->pen().color());
  if ((option.state & QStyle::State_HasFocus) != 0)
    draw_focus_rect(
        painter, band,
        highlighted ? option.palette.highlightedText().color() : option.palette.text().color());
  painter->restore();
}

void RowDelegate::paint_row_overview(QPainter* painter, const QRect& row, int text_right, int index,
                                     const QColor& ink) const {
  if (list_ == nullptr || cache_ == nullptr) return;
  const QRect area = overview_area(row, text_right);
  if (area.isEmpty()) return;
  const std::string path = list_->full_path(index);
  std::shared_ptr<const SoundOverview> overview = cache_->find(path);
  if (!overview) return;  // drawn once it is ready
  std::optional<double> played;
  if (cursor_ != nullptr && cursor_->played && cursor_->path == path) played = cursor_->played;
  paint_overview(painter, area, *overview, ink, played);
}

bool RowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                            const QStyleOptionViewItem& option, const QModelIndex& index) {
  if (event->type() != QEvent::ToolTip || list_ == nullptr || !index.isValid())
    return QStyledItemDelegate::helpEvent(event, view, option, index);
  const std::string path = list_->full_path(index.row());
  const std::uint32_t word = index.data(SoundListWidget::kWordRole).toUInt();
  std::shared_ptr<const SoundOverview> overview = cache_ ? cache_->last(path) : nullptr;
  QToolTip::showText(
      event->globalPos(),
      overview_tooltip(path, item_blocks(word), overview.get(), pace_ != nullptr ? *pace_ : Pace{}),
      view, option.rect);
  return true;
}

QSize RowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return QSize(option.rect.width(), kRowHeight);
}

}  // namespace brisca
