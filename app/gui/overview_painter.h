// Drawing a sound's overview in a list row, and the row's tooltip text. The overviews of a list
// share one column (it starts at the same x in every row) and one time scale: a sound's envelope
// is as long as the sound is, the column's width standing for the scale, and its duration is
// written where the envelope ends.
#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "preview/overview.h"

class QFontMetrics;
class QPainter;

namespace brisca {

inline constexpr int kOverviewGap = 8;        // between the row's text and its overview
inline constexpr int kOverviewMinWidth = 24;  // a narrower column shows no overview

// The time scale for sounds of up to `longest` seconds: the next step of the series 1, 1.5,
// 2, 2.5, 3, 4, 5, 6, 8 (times a power of ten) at or above it, at least 0.1 s.
double overview_scale(double longest);
// "2.5 s", "0.25 s", "30 s": the scale as it is shown.
QString scale_text(double seconds);
// "0.21 s", "12.3 s": a sound's duration as its row shows it.
QString duration_text(double seconds);

// The room the duration text takes right of the column (a gap and the widest duration up to
// `scale`).
int duration_room(const QFontMetrics& metrics, double scale);

// The overview column of a row: from `column_left` to the row's right end, less `room` for the
// duration, a pixel in from the top and bottom; empty when too narrow.
QRect overview_column(const QRect& row, int column_left, int room);
// The part of `column` a sound of `seconds` takes at `scale` seconds across: at least a pixel
// wide, at most the column.
QRect envelope_area(const QRect& column, double seconds, double scale);

struct OverviewLook {
  QColor ink;                    // the envelope and the duration
  QColor background;             // the row's
  double scale = 1;              // seconds across the column
  std::optional<double> played;  // 0..1: the play cursor
};

// Draws the overview of a sound in `column`: the envelope, its loudest sample filling the
// height, in device pixels (sharp on a screen that scales), and the duration right after it; a
// damaged file (or one without a single sample) gets a hatched band marked "damaged" across the
// column instead.
void paint_overview(QPainter* painter, const QRect& column, const SoundOverview& overview,
                    const OverviewLook& look);

// Full path, header name and type, duration, blocks and down-load time at `pace`; without an
// overview yet, the path and the blocks the row counts.
QString overview_tooltip(const std::string& path, int blocks, const SoundOverview* overview,
                         const Pace& pace = Pace{});

}  // namespace brisca
