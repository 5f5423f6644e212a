// Drawing a sound's overview in a list row, and the row's tooltip text.
#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "preview/overview.h"

class QPainter;

namespace brisca {

inline constexpr int kOverviewGap = 8;        // between the row's text and its overview
inline constexpr int kOverviewMinWidth = 24;  // narrower free space shows no overview

// Where the overview of a row goes: the free space right of its text, a pixel in from the top
// and bottom; empty when too narrow.
QRect overview_area(const QRect& row, int text_right);

// The envelope, its loudest sample filling the area's height, in `ink`; a damaged file (or one
// without a single sample) gets a hatched band marked "damaged" instead. `played` (0..1) draws the
// play cursor.
void paint_overview(QPainter* painter, const QRect& area, const SoundOverview& overview,
                    const QColor& ink, std::optional<double> played);

// Full path, header name and type, duration, blocks and down-load time at `pace`; without an
// overview yet, the path and the blocks the row counts.
QString overview_tooltip(const std::string& path, int blocks, const SoundOverview* overview,
                         const Pace& pace = Pace{});

}  // namespace brisca
