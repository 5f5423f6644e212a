#include "app/gui/window_layout.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
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

struct ButtonSpec {
  int x, y, id;
  const char* text;
};

struct FieldSpec {
  int x, y, width;
  Field field;
  const char* caption;
};

// Captions wider than their label are drawn narrower rather than cut off, as the layout was
// made for a narrower face than most systems have.
void fit_caption(QLabel* label) {
  QFont font = label->font();
  for (int stretch = 100; stretch >= 70; stretch -= 6) {
    font.setStretch(stretch);
    if (QFontMetrics(font).horizontalAdvance(label->text()) <= label->width()) break;
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

QPushButton* make_button(QWidget* client, const ButtonSpec& desc,
                         const std::function<void(int)>& on_command) {
  auto* button = new QPushButton(QString::fromLatin1(desc.text), client);
  button->setGeometry(desc.x, desc.y, kButtonWidth, kButtonHeight);
  // Reached with Tab, but a click leaves the focus where it was (on the list, whose keys the
  // window handles).
  button->setFocusPolicy(Qt::TabFocus);
  button->setAutoDefault(false);
  set_id(button, desc.id);
  QObject::connect(button, &QPushButton::clicked, client,
                   [on_command, id = desc.id] { on_command(id); });
  return button;
}

QLineEdit* make_labelled_field(QWidget* client, const FieldSpec& desc) {
  auto* label = new QLabel(QString::fromLatin1(desc.caption), client);
  label->setGeometry(desc.x, desc.y, desc.width, kLabelHeight);
  label->setAutoFillBackground(true);  // grey behind the caption, like the window
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  fit_caption(label);
  set_id(label, kLabelId);
  auto* field = new QLineEdit(client);
  field->setGeometry(desc.x, desc.y + kLabelHeight, desc.width, kFieldHeight);
  field->setTextMargins(0, 0, 0, 0);
  field->setAcceptDrops(false);  // dropped files go to the window
  field->setProperty("caption", label->text());
  set_id(field, kFieldId);
  return field;
}

constexpr ButtonSpec kButtons[] = {
    {350, 50, kListenId, "Listen"},         {350, 80, kSelectOneId, "Select One"},
    {350, 110, kSelectAllId, "Select All"}, {350, 140, kClearAllId, "Clear All"},
    {350, 170, kSendId, "Send File(s)"},    {350, 200, kStopId, "Stop"},
    {350, 242, kMidiMonId, "MIDI Mon"},
};

constexpr FieldSpec kMonitorFields[] = {
    {10, 280, 55, Field::NoteOff, "Note Off"},
    {70, 280, 55, Field::NoteOn, "Note On"},
    {130, 280, 55, Field::PolyPress, "Poly Press"},
    {190, 280, 55, Field::CtrlChg, "Ctrl Chg"},
    {250, 280, 55, Field::ProgChg, "Prog Chg"},
    {310, 280, 55, Field::ChanPress, "Chan Press"},
    {370, 280, 55, Field::PitchBend, "Pitch Bend"},
    {10, 315, 175, Field::SystemExclusive, "System Exclusive"},
    {190, 315, 55, Field::Common, "Common"},
    {250, 315, 55, Field::RealTime, "Real Time"},
};

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
  if (field == static_cast<int>(Field::SystemExclusive)) {
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

Controls build_controls(QWidget* client, const std::function<void(int)>& on_command) {
  client->setFont(ui_font());
  Controls c;
  for (const ButtonSpec& desc : kButtons)
    c.buttons[desc.id] = make_button(client, desc, on_command);
  auto field_at = [&c](Field f) -> QLineEdit*& { return c.fields[static_cast<std::size_t>(f)]; };
  field_at(Field::TotalBlocks) =
      make_labelled_field(client, {350, 10, 80, Field::TotalBlocks, "Total Blocks"});
  field_at(Field::PathAndFiles) =
      make_labelled_field(client, {10, 10, 327, Field::PathAndFiles, "Path and Files"});
  c.list = new SoundListWidget(client);
  c.list->setGeometry(10, 50, 327, 215);
  c.list->setObjectName(QStringLiteral("List"));
  c.list->setFont(list_font());
  set_id(c.list, kListId);
  for (const FieldSpec& desc : kMonitorFields) {
    QLineEdit* field = make_labelled_field(client, desc);
    fit_monitor_field(field, static_cast<int>(desc.field));
    field_at(desc.field) = field;
  }
  c.buttons[kClearDataId] = make_button(client, {350, 327, kClearDataId, "Clear Data"}, on_command);
  // The free strip between the list (bottom 265) and the monitor row (top 280).
  c.monitor_status = new QLabel(client);
  c.monitor_status->setGeometry(10, 266, 420, kLabelHeight);
  c.monitor_status->setObjectName(QStringLiteral("MonitorStatus"));
  c.monitor_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  c.monitor_status->setAutoFillBackground(true);
  c.monitor_status->hide();
  // In the caption row of "Path and Files", right-aligned over the list's right end.
  c.overview_scale = new QLabel(client);
  c.overview_scale->setGeometry(150, 10, 187, kLabelHeight);
  c.overview_scale->setObjectName(QStringLiteral("OverviewScale"));
  c.overview_scale->setAlignment(Qt::AlignRight | Qt::AlignTop);
  c.overview_scale->setAutoFillBackground(true);
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

void build_menu(QMenuBar* bar, const std::function<void(int)>& on_command) {
  struct Item {
    const char* text;
    int id;
  };
  auto add_menu = [&](const char* title, std::initializer_list<Item> items) {
    QMenu* menu = bar->addMenu(QString::fromLatin1(title));
    for (const Item& item : items) {
      QAction* action = menu->addAction(QString::fromLatin1(item.text));
      action->setData(item.id);
      QObject::connect(action, &QAction::triggered, bar,
                       [on_command, id = item.id] { on_command(id); });
    }
  };
  add_menu("&File", {{"&Open...", kOpenId},
                     {"Import &Audio...", kImportAudioId},
                     {"Import &Folder...", kImportFolderId},
                     {"&Receive Sounds...", kReceiveSoundsId},
                     {"E&xit", kExitId}});
  add_menu(
      "&Setup",
      {{"&MIDI...", kMidiSetupId}, {"&Audio...", kAudioSetupId}, {"&Test Cable...", kTestCableId}});
  add_menu("&Help", {{"&Usage...", kUsageId}, {"&About...", kAboutId}});
}

}  // namespace brisca
