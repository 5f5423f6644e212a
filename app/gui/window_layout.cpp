#include "app/gui/window_layout.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <cmath>

#include "app/gui/sound_list_widget.h"
#include "monitor/midi_in_port.h"
#include "monitor/monitor_display.h"

namespace brisca {
namespace {

constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 20;
constexpr int kLabelHeight = 14;
constexpr int kFieldHeight = 18;
constexpr int kColumnGap = 13;     // between the list and the button column
constexpr int kListGap = 8;        // between the path field and the list
constexpr int kButtonGap = 10;     // between the buttons of the column
constexpr int kMidiMonGap = 22;    // above MIDI Mon, apart from the others
constexpr int kScaleIndent = 140;  // the time scale's left end, from the list's
// The monitor row: seven columns of fields 55 wide with 5 between them, the whole 5 short of the
// right margin, and 3 between its two lines. The fields share a wider window in proportion.
constexpr int kMonitorColumns = 7;
constexpr int kMonitorFieldWidth = 55;
constexpr int kMonitorGap = 5;
constexpr int kMonitorLineGap = 3;
constexpr int kMonitorStatusGap = 1;  // between the list and the line about the input

struct ButtonSpec {
  int id;
  const char* text;
};

// A field in the monitor row: its line (0 or 1), its first column and how many it spans.
struct FieldSpec {
  int line, column, span;
  Field field;
  const char* caption;
};

// Captions wider than their label are drawn narrower rather than cut off, as the layout was
// made for a narrower face than most systems have.
void fit_caption(QLabel* label, int width) {
  QFont font = label->font();
  for (int stretch = 100; stretch >= 70; stretch -= 6) {
    font.setStretch(stretch);
    if (QFontMetrics(font).horizontalAdvance(label->text()) <= width) break;
  }
  if (font.stretch() != 100) label->setFont(font);
}

// The hexadecimal digit, or the decimal one, that is widest in `metrics`.
QChar widest_of(const char* digits, const QFontMetrics& metrics) {
  QChar widest = QLatin1Char(digits[0]);
  for (const char* d = digits; *d != 0; ++d)
    if (metrics.horizontalAdvance(QLatin1Char(*d)) > metrics.horizontalAdvance(widest))
      widest = QLatin1Char(*d);
  return widest;
}

void set_id(QWidget* widget, int id) {
  widget->setProperty("controlId", id);
}

// `width` wide at the design's size; a control that `stretches` takes its share of a wider
// window. Placed by the widget's own rectangle, whatever margins a style keeps around it.
void size_to(QWidget* control, int width, int height, bool stretches) {
  control->setAttribute(Qt::WA_LayoutUsesWidgetRect);
  control->setFixedHeight(height);
  if (stretches) {
    control->setMinimumWidth(width);
    control->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  } else {
    control->setFixedWidth(width);
  }
}

QPushButton* make_button(QWidget* client, const ButtonSpec& desc) {
  auto* button = new QPushButton(QString::fromLatin1(desc.text), client);
  size_to(button, kButtonWidth, kButtonHeight, false);
  // Reached with Tab, but a click leaves the focus where it was (on the list, whose keys the
  // window handles).
  button->setFocusPolicy(Qt::TabFocus);
  button->setAutoDefault(false);
  set_id(button, desc.id);
  return button;
}

// A caption over its field, `width` wide at the design's size.
void make_labelled_field(QWidget* client, Controls& c, Field which, const char* caption, int width,
                         bool stretches) {
  auto* label = new QLabel(QString::fromLatin1(caption), client);
  size_to(label, width, kLabelHeight, stretches);
  label->setAutoFillBackground(true);  // grey behind the caption, like the window
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  fit_caption(label, width);
  set_id(label, kLabelId);
  auto* field = new QLineEdit(client);
  size_to(field, width, kFieldHeight, stretches);
  field->setTextMargins(0, 0, 0, 0);
  field->setAcceptDrops(false);  // dropped files go to the window
  field->setProperty("caption", label->text());
  set_id(field, kFieldId);
  c.captions[static_cast<std::size_t>(which)] = label;
  c.fields[static_cast<std::size_t>(which)] = field;
}

constexpr ButtonSpec kButtons[] = {
    {kListenId, "Listen"},      {kSelectOneId, "Select One"}, {kSelectAllId, "Select All"},
    {kClearAllId, "Clear All"}, {kSendId, "Send File(s)"},    {kStopId, "Stop"},
    {kMidiMonId, "MIDI Mon"},
};

constexpr FieldSpec kMonitorFields[] = {
    {0, 0, 1, field_of(MonitorField::NoteOff), "Note Off"},
    {0, 1, 1, field_of(MonitorField::NoteOn), "Note On"},
    {0, 2, 1, field_of(MonitorField::PolyPress), "Poly Press"},
    {0, 3, 1, field_of(MonitorField::CtrlChg), "Ctrl Chg"},
    {0, 4, 1, field_of(MonitorField::ProgChg), "Prog Chg"},
    {0, 5, 1, field_of(MonitorField::ChanPress), "Chan Press"},
    {0, 6, 1, field_of(MonitorField::PitchBend), "Pitch Bend"},
    {1, 0, 3, field_of(MonitorField::SystemExclusive), "System Exclusive"},
    {1, 3, 1, field_of(MonitorField::Common), "Common"},
    {1, 4, 1, field_of(MonitorField::RealTime), "Real Time"},
};

// The monitor row's grid: a column per field (even) and per gap (odd), all sharing extra width
// in proportion to their design widths, and a last gap of fixed width; rows for the strip above
// the line about the input, that line, and per line of fields a caption row and a field row.
constexpr int kStatusGridRow = 1;
constexpr int kLastGridColumn = 2 * kMonitorColumns - 1;
int caption_row(int line) {
  return 2 + 3 * line;
}

QGridLayout* make_monitor_grid() {
  auto* grid = new QGridLayout;
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(0);
  for (int column = 0; column < kMonitorColumns; ++column) {
    grid->setColumnStretch(2 * column, kMonitorFieldWidth);
    if (column + 1 == kMonitorColumns) break;
    grid->setColumnMinimumWidth(2 * column + 1, kMonitorGap);
    grid->setColumnStretch(2 * column + 1, kMonitorGap);
  }
  grid->setColumnMinimumWidth(kLastGridColumn, kMonitorGap);
  grid->setRowMinimumHeight(0, kMonitorStatusGap);
  grid->setRowMinimumHeight(caption_row(1) - 1, kMonitorLineGap);
  return grid;
}

QGridLayout* make_upper_grid() {
  auto* grid = new QGridLayout;
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(kColumnGap);
  grid->setVerticalSpacing(0);
  grid->setColumnStretch(0, 1);
  grid->setRowMinimumHeight(2, kListGap);
  grid->setRowStretch(3, 1);
  return grid;
}

}  // namespace

// Monitor fields keep the window's face but are drawn narrower (then smaller) until the widest
// text they can be given fits without scrolling.
void fit_monitor_field(QLineEdit* field, int index) {
  QFont font = field->font();
  for (int pixels = font.pixelSize(); pixels >= 7; --pixels) {
    font.setPixelSize(pixels);
    for (int stretch = 100; stretch >= 64; stretch -= 4) {
      font.setStretch(stretch);
      if (QFontMetrics(font).horizontalAdvance(widest_monitor_text(index, QFontMetrics(font))) <=
          field_text_room(field)) {
        if (font != field->font()) field->setFont(font);
        return;
      }
    }
  }
  field->setFont(font);
}

int field_text_room(const QLineEdit* field) {
  QStyleOptionFrame option;
  option.initFrom(field);
  option.rect = field->rect();
  option.lineWidth = field->hasFrame()
                         ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field)
                         : 0;
  option.midLineWidth = 0;
  option.state |= QStyle::State_Sunken;
  QRect contents = field->style()->subElementRect(QStyle::SE_LineEditContents, &option, field);
  contents = contents.marginsRemoved(field->textMargins());
  // The line edit keeps two pixels free on each side and one for the text cursor.
  return contents.width() - 2 * 2 - 1;
}

QString widest_monitor_text(int field, const QFontMetrics& metrics) {
  const QChar hex = widest_of("0123456789abcdef", metrics);
  const QChar decimal = widest_of("0123456789", metrics);
  const std::uint32_t byte = static_cast<std::uint32_t>(QString(hex).toUInt(nullptr, 16)) * 0x11;
  std::string text;
  if (field == static_cast<int>(field_of(MonitorField::SystemExclusive))) {
    // The longest summary is that of a full buffer; its count gets the widest decimal digits.
    std::vector<std::uint8_t> full(MidiInPort::kBufferBytes, static_cast<std::uint8_t>(byte));
    text = sysex_summary(full.data(), MidiInPort::kBufferBytes);
    const std::size_t open = text.rfind('[');
    for (std::size_t i = open + 1; i + 1 < text.size(); ++i)
      text[i] = static_cast<char>(decimal.unicode());
  } else {
    text = short_message_text(field, byte | byte << 8 | byte << 16);
  }
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QFont ui_font() {
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans"),
                    QStringLiteral("Liberation Sans")});
  font.setStyleHint(QFont::SansSerif);
  // The light weight asked for is drawn in the regular cut by the bitmap face the layout was
  // made with; a scalable face here would have a true ExtraLight cut, so regular keeps the look.
  font.setWeight(QFont::Normal);
  for (int pixels = 13; pixels > 8; --pixels) {
    font.setPixelSize(pixels);
    if (QFontMetrics(font).height() <= 13) break;
  }
  return font;
}

QFont list_font() {
  QFont font = ui_font();
  const int desktop = QFontInfo(QApplication::font()).pixelSize();
  constexpr int kDesignPixels = 13;
  if (desktop > kDesignPixels)
    font.setPixelSize(static_cast<int>(
        std::lround(font.pixelSize() * desktop / static_cast<double>(kDesignPixels))));
  return font;
}

namespace {

// The button column, the path and block fields and the list, on `c.upper`.
void add_upper_controls(QWidget* client, Controls& c) {
  // The button column beside the list, from its top.
  auto* column = new QVBoxLayout;
  column->setSpacing(kButtonGap);
  for (const ButtonSpec& desc : kButtons) {
    if (desc.id == kMidiMonId) column->addSpacing(kMidiMonGap - kButtonGap);
    column->addWidget(c.buttons[desc.id] = make_button(client, desc));
  }
  column->addStretch(1);
  c.upper->addLayout(column, 3, 1);
  make_labelled_field(client, c, Field::TotalBlocks, "Total Blocks", kButtonWidth, false);
  const int path_width = kListSize.width();
  make_labelled_field(client, c, Field::PathAndFiles, "Path and Files", path_width, true);
  for (Field f : {Field::PathAndFiles, Field::TotalBlocks}) {
    const int at = f == Field::PathAndFiles ? 0 : 1;
    c.upper->addWidget(c.captions[static_cast<std::size_t>(f)], 0, at);
    c.upper->addWidget(c.fields[static_cast<std::size_t>(f)], 1, at);
  }
  c.list = new SoundListWidget(client);
  c.list->setAttribute(Qt::WA_LayoutUsesWidgetRect);
  c.list->setMinimumSize(kListSize);
  c.list->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  c.list->setObjectName(QStringLiteral("List"));
  c.list->setFont(list_font());
  set_id(c.list, kListId);
  c.upper->addWidget(c.list, 3, 0);
}

// The monitor fields, Clear Data and the line about the input, on `c.monitor_row`.
void add_monitor_controls(QWidget* client, Controls& c) {
  for (const FieldSpec& desc : kMonitorFields) {
    const int width = desc.span * kMonitorFieldWidth + (desc.span - 1) * kMonitorGap;
    make_labelled_field(client, c, desc.field, desc.caption, width, true);
    const auto index = static_cast<std::size_t>(desc.field);
    const int row = caption_row(desc.line), span = 2 * desc.span - 1;
    c.monitor_row->addWidget(c.captions[index], row, 2 * desc.column, 1, span);
    c.monitor_row->addWidget(c.fields[index], row + 1, 2 * desc.column, 1, span);
  }
  QPushButton* clear_data = make_button(client, {kClearDataId, "Clear Data"});
  c.buttons[kClearDataId] = clear_data;
  // Level with the foot of the second line of fields, at the row's right edge.
  c.monitor_row->addWidget(clear_data, caption_row(1), 2 * (kMonitorColumns - 2), 2, 4,
                           Qt::AlignRight | Qt::AlignBottom);
  // The free strip between the list and the monitor row; it keeps its place while hidden.
  c.monitor_status = new QLabel(client);
  size_to(c.monitor_status, 0, kLabelHeight, true);
  QSizePolicy keeps_place = c.monitor_status->sizePolicy();
  keeps_place.setRetainSizeWhenHidden(true);
  c.monitor_status->setSizePolicy(keeps_place);
  c.monitor_status->setObjectName(QStringLiteral("MonitorStatus"));
  c.monitor_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  c.monitor_status->setAutoFillBackground(true);
  c.monitor_status->hide();
  c.monitor_row->addWidget(c.monitor_status, kStatusGridRow, 0, 1, kLastGridColumn + 1);
}

}  // namespace

Controls build_controls(QWidget* client) {
  client->setFont(ui_font());
  Controls c;
  c.upper = make_upper_grid();
  c.monitor_row = make_monitor_grid();
  add_upper_controls(client, c);
  add_monitor_controls(client, c);
  // In the caption row of "Path and Files", right-aligned over the list's right end.
  c.overview_scale = new QLabel(client);
  size_to(c.overview_scale, 0, kLabelHeight, true);
  c.overview_scale->setObjectName(QStringLiteral("OverviewScale"));
  c.overview_scale->setAlignment(Qt::AlignRight | Qt::AlignTop);
  c.overview_scale->setAutoFillBackground(true);
  auto* scale_place = new QHBoxLayout;
  scale_place->setContentsMargins(kScaleIndent, 0, 0, 0);
  scale_place->addWidget(c.overview_scale);
  c.upper->addLayout(scale_place, 0, 0);
  return c;
}

QLabel* make_status_line(QWidget* window) {
  auto* line = new QLabel(window);
  line->setObjectName(QStringLiteral("Status"));
  line->setFont(ui_font());
  line->setAutoFillBackground(true);
  QPalette palette = line->palette();
  palette.setColor(QPalette::Window, QColor::fromRgb(0xFFFFE1));
  palette.setColor(QPalette::WindowText, Qt::black);
  line->setPalette(palette);
  line->setFrameShape(QFrame::Box);
  line->setIndent(3);
  line->setAttribute(Qt::WA_TransparentForMouseEvents);
  line->setGeometry(kStatusRect);
  line->hide();
  return line;
}

}  // namespace brisca
