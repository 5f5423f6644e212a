// The controls of the main window, their sizes and their places on Qt layouts (client
// coordinates below the menu bar), the menu, the colours and the font.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>
#include <array>
#include <map>

#include "app/gui/window_fields.h"

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace brisca {

class SoundListWidget;

// The window is laid out for an outer size of 447 x 317 (monitor hidden) or 447 x 400 (shown)
// with a 3-pixel fixed frame, a 19-pixel caption and a 19-pixel menu bar. The client area
// below the menu bar is therefore 441 x 273 or 441 x 356: everything down to the list's bottom
// edge (y 265) shows at the short height, and the monitor row (y 280 to 347) only at the tall
// one.
inline constexpr int kOuterWidth = 447;
inline constexpr int kOuterHeight = 317;
inline constexpr int kOuterHeightWithMonitor = 400;
inline constexpr int kFrameWidth = 3;
inline constexpr int kCaptionHeight = 19;
inline constexpr int kMenuBarHeight = 19;
inline constexpr int client_height_for(int outer_height) {
  return outer_height - kCaptionHeight - kMenuBarHeight - 2 * kFrameWidth;
}
inline constexpr int kClientWidth = kOuterWidth - 2 * kFrameWidth;
inline constexpr int kClientHeight = client_height_for(kOuterHeight);
inline constexpr int kClientHeightWithMonitor = client_height_for(kOuterHeightWithMonitor);

inline constexpr unsigned kWindowGrey = 0xC0C0C0;

// Free around the controls at the design's size (the monitor row shown), and the list's size
// there: the list takes what the window grows by.
inline constexpr QMargins kClientMargins{10, 10, 11, 9};
inline constexpr QSize kListSize{327, 215};

// The status line lies over the foot of the sound list (inside its frame, left of its scroll
// bar), so the layout and the heights stay as they are; it shows only while it has something
// to say, most texts for kStatusShownMs.
inline constexpr int kStatusShownMs = 6000;
inline constexpr QRect kStatusRect{11, 248, 308, 16};  // client coordinates

// Control ids, kept on each control as the "controlId" property: they name the controls of the
// layout (what a button does is its action's, see WindowActions).
enum ControlId : int {
  kLabelId = 101,
  kFieldId = 102,
  kClearDataId = 103,
  kListId = 104,
  kListenId = 105,
  kSelectOneId = 106,
  kSelectAllId = 107,
  kClearAllId = 108,
  kSendId = 109,
  kStopId = 110,
  kMidiMonId = 111,
};

inline constexpr int kFieldCount = kMonitorFieldCount + 2;

struct Controls {
  SoundListWidget* list = nullptr;
  std::array<QLineEdit*, kFieldCount> fields{};  // indexed by Field
  std::array<QLabel*, kFieldCount> captions{};   // over each field
  std::map<int, QPushButton*> buttons;           // by control id
  QLabel* monitor_status = nullptr;  // between the list and the monitor row, hidden when empty
  QLabel* overview_scale = nullptr;  // over the list's right end: the overviews' time scale
  // The controls in their places, not yet on the client: everything down to the list and the
  // button column beside it, and the monitor row below them (see ClientLayout).
  QGridLayout* upper = nullptr;
  QGridLayout* monitor_row = nullptr;
};

// The width a line edit can show text in without scrolling it.
int field_text_room(const QLineEdit* field);
// The widest text monitor field `field` (0..9) can be given, measured in `metrics`.
QString widest_monitor_text(int field, const QFontMetrics& metrics);
// Draws monitor field `index` narrower (then smaller) than its font until that text fits.
void fit_monitor_field(QLineEdit* field, int index);

// A sans-serif whose line height is 13 pixels ("MS Sans Serif" where it is installed).
QFont ui_font();
// The sound list's font: the window's, made larger in proportion when the desktop's own font is
// larger than 13 pixels, so that the rows grow with it.
QFont list_font();

// Creates the controls on `client` in the order of the layout and puts them in their places on
// `upper` and `monitor_row`.
Controls build_controls(QWidget* client);
// The status line, hidden, on `window` (outside the client area's own controls).
QLabel* make_status_line(QWidget* window);

}  // namespace brisca
