// Draws the rows of the sound list: the state bitmap at the left, "name   [N]" at x = 20, the
// list's own highlight from x = 18 and the focus rectangle; right of the texts, in a column that
// starts at the same x in every row, the sound's overview on the list's time scale with its
// duration, and the play cursor on the row that plays; and the row's tooltip.
#pragma once

#include <QPixmap>
#include <QStyledItemDelegate>
#include <array>
#include <optional>
#include <string>

#include "pace/pace.h"

namespace brisca {

struct RowBitmaps {
  QPixmap select, done;
  std::array<QPixmap, 4> anim;  // the frames of the row being sent

  static RowBitmaps load();  // BMP_SELECT, BMP_DONE, BMP_ANIM0..3 from the resources
  // The bitmap the row at `index` (a SoundListModel's) shows for its state, or nullptr.
  const QPixmap* for_row(const QModelIndex& index) const;
};

class OverviewCache;

// The file that plays and how far (0..1); kept by the window while a preview plays.
struct PlayCursor {
  std::string path;
  std::optional<double> played;
};

// Draws the rows of a SoundListModel from what its roles tell.
class RowDelegate : public QStyledItemDelegate {
 public:
  RowDelegate(const RowBitmaps& bitmaps, QObject* parent)
      : QStyledItemDelegate(parent), bitmaps_(bitmaps) {}

  // Rows draw overviews once the delegate knows the cache.
  void show_overviews(OverviewCache* cache, const PlayCursor* cursor) {
    cache_ = cache;
    cursor_ = cursor;
  }

  // Tooltips count down-load times at this pace (the default until told).
  void follow_pace(const Pace* pace) { pace_ = pace; }
  // The overviews' time scale: seconds across the column.
  void set_scale(double seconds) { scale_ = seconds; }
  double scale() const { return scale_; }
  // The rows' texts changed (rows added, removed or reordered): the column is placed anew.
  void labels_changed() { widest_label_ = -1; }
  // Where a row's overview column begins (view coordinates), for the row rectangle `row`.
  int column_left(const QStyleOptionViewItem& option, const QModelIndex& index) const;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;

 private:
  int label_room(const QStyleOptionViewItem& option, const QAbstractItemModel* rows) const;
  void paint_row_overview(QPainter* painter, const QStyleOptionViewItem& option, int column_left,
                          const QModelIndex& index, const QColor& ink,
                          const QColor& background) const;

  const RowBitmaps& bitmaps_;
  OverviewCache* cache_ = nullptr;
  const PlayCursor* cursor_ = nullptr;
  const Pace* pace_ = nullptr;
  double scale_ = 1.0;
  mutable int widest_label_ = -1;  // the widest row text in the font below, -1: to be measured
  mutable QFont widest_font_;
};

}  // namespace brisca
