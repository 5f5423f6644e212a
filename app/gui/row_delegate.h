// Draws the rows of the sound list: the state bitmap at the left, "name   [N]" at x = 20, the
// list's own highlight from x = 18 and the focus rectangle; in the free space right of the text
// the sound's overview, with the play cursor on the row that plays; and the row's tooltip.
#pragma once

#include <QPixmap>
#include <QStyledItemDelegate>
#include <array>
#include <optional>
#include <string>

#include "download/pace.h"
#include "soundlist/sound_list.h"

namespace brisca {

struct RowBitmaps {
  QPixmap select, done;
  std::array<QPixmap, 4> anim;  // the frames of the row being sent

  static RowBitmaps load();  // BMP_SELECT, BMP_DONE, BMP_ANIM0..3 from the resources
  // The bitmap a row shows for its item word, or nullptr.
  const QPixmap* for_word(std::uint32_t word, int animation_counter) const;
};

class OverviewCache;

// The file that plays and how far (0..1); kept by the window while a preview plays.
struct PlayCursor {
  std::string path;
  std::optional<double> played;
};

class RowDelegate : public QStyledItemDelegate {
 public:
  RowDelegate(const RowBitmaps& bitmaps, const SoundListState& state, QObject* parent)
      : QStyledItemDelegate(parent), bitmaps_(bitmaps), state_(state) {}

  // Rows draw overviews once the delegate knows the list (for the paths) and the cache.
  void show_overviews(const SoundList* list, OverviewCache* cache, const PlayCursor* cursor) {
    list_ = list;
    cache_ = cache;
    cursor_ = cursor;
  }

  // Tooltips count down-load times at this pace (the default until told).
  void follow_pace(const Pace* pace) { pace_ = pace; }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;

 private:
  void paint_row_overview(QPainter* painter, const QRect& row, int text_right, int index,
                          const QColor& ink) const;

  const RowBitmaps& bitmaps_;
  const SoundListState& state_;
  const SoundList* list_ = nullptr;
  OverviewCache* cache_ = nullptr;
  const PlayCursor* cursor_ = nullptr;
  const Pace* pace_ = nullptr;
};

}  // namespace brisca
