// Draws the rows of the sound list: the state bitmap at the left, "name   [N]" at x = 20, the
// list's own highlight from x = 18 and the focus rectangle.
#pragma once

#include <QPixmap>
#include <QStyledItemDelegate>
#include <array>

#include "soundlist/sound_list.h"

namespace brisca {

struct RowBitmaps {
  QPixmap select, done;
  std::array<QPixmap, 4> anim;  // the frames of the row being sent

  static RowBitmaps load();  // BMP_SELECT, BMP_DONE, BMP_ANIM0..3 from the resources
  // The bitmap a row shows for its item word, or nullptr.
  const QPixmap* for_word(std::uint32_t word, int animation_counter) const;
};

class RowDelegate : public QStyledItemDelegate {
 public:
  RowDelegate(const RowBitmaps& bitmaps, const SoundListState& state, QObject* parent)
      : QStyledItemDelegate(parent), bitmaps_(bitmaps), state_(state) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  const RowBitmaps& bitmaps_;
  const SoundListState& state_;
};

}  // namespace brisca
