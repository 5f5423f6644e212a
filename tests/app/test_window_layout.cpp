// The main window's controls, menu, size, colours and font, and the monitor row.
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <cstring>

#include "app/gui/sound_list_widget.h"
#include "app/monitor_hooks.h"
#include "monitor/midi_in_port.h"
#include "monitor/monitor_display.h"
#include "soundlist/gather.h"
#include "tests/app/window_test_support.h"
#include "tests/support/sound_files.h"

namespace brisca {

using test::find_control;

class WindowLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void buttons_have_their_texts_ids_and_places();
  void labelled_fields_and_list_are_in_place();
  void menu_has_its_items_and_ids();
  void window_is_grey_and_uses_the_ui_font();
  void midi_mon_shows_the_monitor_row_and_returns();
  void every_monitor_field_shows_its_widest_text_whole();
};

void WindowLayoutTest::buttons_have_their_texts_ids_and_places() {
  MainWindow window;
  struct Expect {
    int id, x, y;
    const char* text;
  };
  const Expect expected[] = {{105, 350, 50, "Listen"},        {106, 350, 80, "Select One"},
                             {107, 350, 110, "Select All"},   {108, 350, 140, "Clear All"},
                             {109, 350, 170, "Send File(s)"}, {110, 350, 200, "Stop"},
                             {111, 350, 242, "MIDI Mon"},     {103, 350, 327, "Clear Data"}};
  QCOMPARE(window.centralWidget()->findChildren<QPushButton*>().size(), 8);
  for (const Expect& e : expected) {
    auto* button = find_control<QPushButton>(window.centralWidget(), e.id);
    QVERIFY2(button, e.text);
    QCOMPARE(button->text(), QString::fromLatin1(e.text));
    QCOMPARE(button->geometry(), QRect(e.x, e.y, 80, 20));
    QCOMPARE(button->font(), window.centralWidget()->font());
    QVERIFY(button->focusPolicy() & Qt::TabFocus);
  }
}

void WindowLayoutTest::labelled_fields_and_list_are_in_place() {
  MainWindow window;
  struct Expect {
    const char* caption;
    int x, y, width;
  };
  const Expect expected[] = {{"Total Blocks", 350, 10, 80}, {"Path and Files", 10, 10, 327},
                             {"Note Off", 10, 280, 55},     {"Note On", 70, 280, 55},
                             {"Poly Press", 130, 280, 55},  {"Ctrl Chg", 190, 280, 55},
                             {"Prog Chg", 250, 280, 55},    {"Chan Press", 310, 280, 55},
                             {"Pitch Bend", 370, 280, 55},  {"System Exclusive", 10, 315, 175},
                             {"Common", 190, 315, 55},      {"Real Time", 250, 315, 55}};
  QWidget* client = window.centralWidget();
  QList<QLabel*> labels = client->findChildren<QLabel*>();
  labels.removeOne(client->findChild<QLabel*>(QStringLiteral("MonitorStatus")));
  labels.removeOne(client->findChild<QLabel*>(QStringLiteral("OverviewScale")));
  QList<QLineEdit*> fields = client->findChildren<QLineEdit*>();
  QCOMPARE(labels.size(), 12);
  QCOMPARE(fields.size(), 12);
  for (const Expect& e : expected) {
    QLabel* label = nullptr;
    for (QLabel* l : labels)
      if (l->text() == QLatin1String(e.caption)) label = l;
    QVERIFY2(label, e.caption);
    QCOMPARE(test::control_id(label), 101);
    QCOMPARE(label->geometry(), QRect(e.x, e.y, e.width, 14));
    QLineEdit* field = nullptr;
    for (QLineEdit* f : fields)
      if (f->property("caption").toString() == QLatin1String(e.caption)) field = f;
    QVERIFY2(field, e.caption);
    QCOMPARE(test::control_id(field), 102);
    QCOMPARE(field->geometry(), QRect(e.x, e.y + 14, e.width, 18));
    if (QLatin1String(e.caption) == QLatin1String("Total Blocks"))
      QCOMPARE(field->text(), QStringLiteral("   0"));
    else
      QCOMPARE(field->text(), QString());
  }
  auto* list = find_control<SoundListWidget>(client, 104);
  QVERIFY(list);
  QCOMPARE(list->geometry(), QRect(10, 50, 327, 215));
  QCOMPARE(list->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
}

// The menus hold the window's actions, in this order; a button and its action share a text.
void WindowLayoutTest::menu_has_its_items_and_ids() {
  MainWindow window;
  QList<QAction*> menus = window.menuBar()->actions();
  QStringList titles;
  for (QAction* m : menus) titles << m->text();
  QCOMPARE(titles, (QStringList{"&File", "&Edit", "&Setup", "&Help"}));
  auto texts = [](QAction* m) {
    QStringList out;
    for (QAction* a : m->menu()->actions()) out << a->text();
    return out;
  };
  QCOMPARE(texts(menus[0]),
           (QStringList{"&Open...", "Save List &As...", "Recent &Lists", "Import &Audio...",
                        "Import &Folder...", "&Receive Sounds...", "", "Reopen Last List at &Start",
                        "", "E&xit"}));
  QCOMPARE(texts(menus[1]), (QStringList{"&Remove Row", "Remove &Selected Rows", "&Clear List", "",
                                         "Sort by &Name"}));
  QCOMPARE(texts(menus[2]), (QStringList{"&MIDI...", "&Audio...", "&Test Cable..."}));
  QCOMPARE(texts(menus[3]), (QStringList{"&Usage...", "&About..."}));
  const WindowActions& a = window.actions();
  auto without_separators = [](QAction* m) {
    QList<QAction*> out;
    for (QAction* item : m->menu()->actions())
      if (!item->isSeparator()) out << item;
    return out;
  };
  QCOMPARE(
      without_separators(menus[0]),
      (QList<QAction*>{a.open, a.kits.save_list_as, a.kits.recent->menuAction(), a.import_audio,
                       a.import_folder, a.receive_sounds, a.kits.reopen_last, a.exit}));
  QCOMPARE(without_separators(menus[1]), (QList<QAction*>{a.list.remove_row, a.list.remove_selected,
                                                          a.list.clear_list, a.list.sort_by_name}));
  QCOMPARE(without_separators(menus[2]),
           (QList<QAction*>{a.midi_setup, a.audio_setup, a.test_cable}));
  QCOMPARE(without_separators(menus[3]), (QList<QAction*>{a.usage, a.about}));
  const std::pair<int, QAction*> buttons[] = {{kListenId, a.listen},
                                              {kSelectOneId, a.select_one},
                                              {kSelectAllId, a.select_all},
                                              {kClearAllId, a.clear_all},
                                              {kSendId, a.send},
                                              {kStopId, a.stop},
                                              {kMidiMonId, a.midi_mon},
                                              {kClearDataId, a.clear_data}};
  for (const auto& [id, action] : buttons)
    QCOMPARE(find_control<QPushButton>(window.centralWidget(), id)->text(), action->text());
}

void WindowLayoutTest::window_is_grey_and_uses_the_ui_font() {
  MainWindow window;
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QCOMPARE(window.windowTitle(), QStringLiteral("BriscaTool"));
  QVERIFY(window.windowFlags() & Qt::WindowMinimizeButtonHint);
  QCOMPARE(window.centralWidget()->size(), QSize(441, 273));
  QCOMPARE(window.centralWidget()->y(), window.menuBar()->height());
  QVERIFY(!window.windowIcon().isNull());

  QWidget* client = window.centralWidget();
  QCOMPARE(client->palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
  for (QLabel* label : client->findChildren<QLabel*>()) {
    QVERIFY(label->autoFillBackground());
    QCOMPARE(label->palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
  }
  QFont font = client->font();
  QCOMPARE(QFontMetrics(font).height() <= 13, true);
  QVERIFY(QFontMetrics(font).height() >= 11);
  QImage image = window.grab().toImage();
  QCOMPARE(image.pixelColor(client->mapTo(&window, QPoint(5, 5))), QColor(0xC0, 0xC0, 0xC0));

  // The rows go in sorted, and the grab shows how the window looks with some of them.
  test::TempDir tmp;
  for (const char* name : {"Snare 2.mid", "kick.mid", "HiHat.mid", "crash.mid"})
    test::write_sound(tmp / name, 60 + static_cast<int>(std::strlen(name)));
  add_arguments(window.sound_list(), {tmp.path()});
  QCOMPARE(window.list_widget().text(0), std::string("crash.mid"));
  QCOMPARE(window.list_widget().text(3), std::string("Snare 2.mid"));
  test::save_grab(&window, "main_window");
  // The scroll bar shows only once rows are out of view.
  QTRY_VERIFY(!window.list_widget().verticalScrollBar()->isVisible());
  for (int i = 0; i < 16; ++i) test::write_sound(tmp / ("z" + std::to_string(i + 10) + ".mid"), 1);
  add_arguments(window.sound_list(), {tmp.path()});
  QTRY_VERIFY(window.list_widget().verticalScrollBar()->isVisible());
}

void WindowLayoutTest::midi_mon_shows_the_monitor_row_and_returns() {
  MainWindow window;
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  const QRect before = window.geometry();
  QWidget* client = window.centralWidget();
  auto* clear_data = find_control<QPushButton>(client, 103);
  QVERIFY(!client->rect().intersects(clear_data->geometry()));
  auto* listen = find_control<QPushButton>(client, 105);
  QVERIFY(client->rect().contains(listen->geometry()));
  QVERIFY(client->rect().contains(window.list_widget().geometry()));

  QTest::mouseClick(find_control<QPushButton>(client, 111), Qt::LeftButton);
  QVERIFY(window.monitor_shown());
  QCOMPARE(client->size(), QSize(441, 356));
  QCOMPARE(window.geometry().topLeft(), before.topLeft());
  QCOMPARE(window.width(), before.width());
  QCOMPARE(window.height(), before.height() + 83);
  for (QWidget* w : client->findChildren<QWidget*>())
    if (w->parentWidget() == client)
      QVERIFY2(client->rect().contains(w->geometry()), qPrintable(w->objectName()));
  window.set_field_text(field_of(MonitorField::SystemExclusive), "F0 33 00 05 00 00 01");
  window.set_field_text(field_of(MonitorField::NoteOn), "90 3C 7F");
  test::save_grab(&window, "monitor_shown");

  QTest::mouseClick(find_control<QPushButton>(client, 111), Qt::LeftButton);
  QVERIFY(!window.monitor_shown());
  QCOMPARE(window.geometry(), before);
  QCOMPARE(client->size(), QSize(441, 273));
}

// For each field, the widest text it can receive (every hex digit tried, and for System
// Exclusive every buffer length) must fit the field's visible width by the font's metrics, and
// showing it must scroll nothing: the first character, the message's kind, stays in place.
void WindowLayoutTest::every_monitor_field_shows_its_widest_text_whole() {
  MainWindow window;
  window.actions().midi_mon->trigger();
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QWidget* client = window.centralWidget();
  for (int index = 0; index < kMonitorFieldCount; ++index) {
    QLineEdit* field = nullptr;
    for (QLineEdit* f : client->findChildren<QLineEdit*>())
      if (f->property("caption").toString() == QLatin1String(monitor_field_label(index))) field = f;
    QVERIFY(field);
    const QFontMetrics metrics(field->font());
    QString widest;
    auto consider = [&](const std::string& text) {
      QString q = QString::fromStdString(text);
      if (metrics.horizontalAdvance(q) > metrics.horizontalAdvance(widest)) widest = q;
    };
    std::uint32_t widest_digit = 0;
    for (std::uint32_t digit = 0; digit < 16; ++digit) {
      const std::uint32_t byte = digit * 0x11;
      if (index != static_cast<int>(field_of(MonitorField::SystemExclusive))) {
        consider(short_message_text(index, byte | byte << 8 | byte << 16));
        continue;
      }
      std::vector<std::uint8_t> bytes(9, static_cast<std::uint8_t>(byte));
      const QString before = widest;
      consider(sysex_summary(bytes.data(), 9));
      if (widest != before) widest_digit = byte;
    }
    if (index == static_cast<int>(field_of(MonitorField::SystemExclusive))) {
      std::vector<std::uint8_t> bytes(MidiInPort::kBufferBytes,
                                      static_cast<std::uint8_t>(widest_digit));
      for (std::uint32_t length = 1; length <= MidiInPort::kBufferBytes; ++length)
        consider(sysex_summary(bytes.data(), length));
    }
    const int advance = metrics.horizontalAdvance(widest);
    QVERIFY2(advance <= field_text_room(field),
             qPrintable(QStringLiteral("\"%1\" is %2 px, the field shows %3 px")
                            .arg(widest)
                            .arg(advance)
                            .arg(field_text_room(field))));

    window.set_field_text(static_cast<Field>(index), widest.toStdString());
    QCOMPARE(field->cursorPosition(), 0);
    (void)field->grab();
    const int start = field->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    field->setCursorPosition(static_cast<int>(widest.size()));
    (void)field->grab();
    const int end = field->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    QVERIFY2(std::abs(end - start - advance) <= 1, qPrintable(widest));
    QVERIFY2(end < field->width(), qPrintable(widest));
    field->setCursorPosition(0);
  }
  test::save_grab(&window, "monitor_widest");

  // The monitor as a user sees it, with the texts of the reported fault among them.
  const char* texts[] = {"80 24 40 ", "90 3c 7f ", "a0 3c 40 ", "b9 07 64 ", "c5 07 ",
                         "d0 40 ",    "e0 00 40 ", "",          "f2 10 20 ", "fe "};
  for (int index = 0; index < kMonitorFieldCount; ++index)
    window.set_field_text(static_cast<Field>(index), texts[index]);
  std::vector<std::uint8_t> dump(1174, 0x40);
  dump.front() = 0xF0;
  dump[1] = 0x33;
  dump.back() = 0xF7;
  window.set_field_text(field_of(MonitorField::SystemExclusive), sysex_summary(dump.data(), 1174));
  // The line about the input shows with the monitor only.
  auto* status = client->findChild<QLabel*>(QStringLiteral("MonitorStatus"));
  QVERIFY(status && !status->isVisible());
  window.set_monitor_status(input_status_line({true, 123456}));
  QVERIFY(status->isVisible());
  QVERIFY2(
      QFontMetrics(status->font()).horizontalAdvance(status->text()) <= status->width(),
      qPrintable(QString::number(QFontMetrics(status->font()).horizontalAdvance(status->text()))));
  test::save_grab(&window, "monitor_filled");
  window.actions().midi_mon->trigger();
  QVERIFY(!status->isVisible());
  window.actions().midi_mon->trigger();
  QVERIFY(status->isVisible());
  window.set_monitor_status("");
  QVERIFY(!status->isVisible());
}

}  // namespace brisca

BRISCA_QTEST_MAIN(brisca::WindowLayoutTest)
#include "test_window_layout.moc"
