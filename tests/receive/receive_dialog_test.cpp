// File > Receive Sounds... under Qt Test, offscreen: a dump sent into the window's MIDI input
// becomes a row of the dialog with its progress bar, a file in the remembered folder and a row
// of the sound list, while the monitor fields go on showing what arrives; Stop writes a dump in
// progress as partial. Grabs of the dialog and the window go to BRISCA_SCREENSHOT_DIR.
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "app/devices/qt_settings_store.h"
#include "app/gui/receive_dialog.h"
#include "app/gui/sound_list_widget.h"
#include "app/monitor_hooks.h"
#include "monitor/monitor_display.h"
#include "soundlist/gather.h"
#include "tests/app/window_test_support.h"
#include "tests/monitor/fake_midi_in.h"
#include "tests/receive/dump_maker.h"
#include "tests/support/sound_files.h"

namespace brisca::test {

class ReceiveDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void dumps_become_rows_files_and_list_rows();
};

namespace {

QString field_text(MainWindow& window, const char* caption) {
  for (QLineEdit* e : window.centralWidget()->findChildren<QLineEdit*>())
    if (e->property("caption").toString() == QLatin1String(caption)) return e->text();
  return QStringLiteral("<none>");
}

QProgressBar* bar(QTreeWidget* tree, int row) {
  QWidget* cell = tree->itemWidget(tree->topLevelItem(row), 1);
  return cell ? cell->findChild<QProgressBar*>() : nullptr;
}

QString count(QTreeWidget* tree, int row) {
  return tree->itemWidget(tree->topLevelItem(row), 1)->findChild<QLabel*>()->text();
}

}  // namespace

void ReceiveDialogTest::dumps_become_rows_files_and_list_rows() {
  TempDir dir;
  const std::string folder = dir.make_folder("received sounds");
  QtSettingsStore store(QString::fromStdString(dir / "settings.ini"));
  store.write(kReceiveFolderValue, folder);

  MainWindow window;
  FakeInService service;
  MonitorWindowHooks monitor(service, window.clock(),
                             [&window](MonitorField field, const std::string& text) {
                               window.set_monitor_text(field, text);
                             });
  DialogReceiveHooks receive(monitor.port(), &store, [&window](const std::string& path) {
    Gatherer(window.sound_list()).add_path(path);
  });
  window.set_hooks({nullptr, nullptr, &monitor, nullptr, &receive});
  window.actions().midi_mon->trigger();
  QCOMPARE(monitor.open(1), 1);
  window.show();
  window.actions().receive_sounds->trigger();
  ReceiveDialog* dialog = receive.dialog();
  QVERIFY(dialog != nullptr && dialog->isVisible() && !dialog->isModal());
  QCOMPARE(dialog->folder(), QString::fromStdString(folder));

  // The device hands over a buffer, the window hands it back once it has been handled.
  auto deliver = [&](const Bytes& m) {
    QVERIFY(service.long_message(m));
    QCoreApplication::processEvents();
  };
  const auto conga = dump_messages("Conga Low", 12);
  for (const Bytes& m : conga) deliver(m);
  service.short_message(0x403C90);
  const auto shaker = dump_messages("Shaker/2", 5);
  for (int i : {0, 1, 2}) deliver(shaker[static_cast<std::size_t>(i)]);
  QTRY_COMPARE(bar(dialog->sounds(), 1) ? bar(dialog->sounds(), 1)->value() : -1, 3);
  QCOMPARE(field_text(window, "Note On"), QStringLiteral("90 3c 40 "));
  QCOMPARE(field_text(window, "System Exclusive"),
           QString::fromStdString(
               sysex_summary(shaker[2].data(), static_cast<std::uint32_t>(shaker[2].size()))));
  QTest::mouseClick(dialog->stop_button(), Qt::LeftButton);
  QVERIFY(!dialog->receiving());
  QCOMPARE(dialog->stop_button()->text(), QStringLiteral("Start"));

  QTreeWidget* rows = dialog->sounds();
  QCOMPARE(rows->topLevelItemCount(), 2);
  QCOMPARE(rows->topLevelItem(0)->text(0), QStringLiteral("Conga Low"));
  QCOMPARE(count(rows, 0), QStringLiteral("12 of 12"));
  QCOMPARE(rows->topLevelItem(0)->text(2), QStringLiteral("Conga Low.mid"));
  QCOMPARE(bar(rows, 0)->value(), 12);
  QCOMPARE(bar(rows, 0)->maximum(), 12);
  QCOMPARE(count(rows, 1), QStringLiteral("3 of 5"));
  QCOMPARE(rows->topLevelItem(1)->text(2), QStringLiteral("Shaker_2 (partial).mid: missing 3-4"));
  QCOMPARE(bar(rows, 1)->maximum(), 5);
  QCOMPARE(file_messages(folder + "/Conga Low.mid"), conga);
  QCOMPARE(file_messages(folder + "/Shaker_2 (partial).mid"),
           (std::vector<Bytes>{shaker[0], shaker[1], shaker[2]}));
  QCOMPARE(window.list_widget().count(), 2);
  QCOMPARE(window.list_widget().text(0), std::string("Conga Low.mid"));

  // While stopped nothing is received; the monitor still shows it.
  deliver(conga[0]);
  QTRY_COMPARE(field_text(window, "System Exclusive"),
               QString::fromStdString(
                   sysex_summary(conga[0].data(), static_cast<std::uint32_t>(conga[0].size()))));
  QCOMPARE(rows->topLevelItemCount(), 2);
  save_grab(dialog, "receive_dialog");
  save_grab(&window, "receive_window");

  // Chosen once, remembered: a new dialog opens on the folder chosen last.
  dialog->choose_folder(QString::fromStdString(dir.path()));
  dialog->close();
  QTRY_VERIFY(receive.dialog() == nullptr);
  window.actions().receive_sounds->trigger();
  QVERIFY(receive.dialog() != nullptr && receive.dialog()->receiving());
  QCOMPARE(receive.dialog()->folder(), QString::fromStdString(dir.path()));

  // Closing the window in the middle of a dump: the part that arrived joins the list first.
  deliver(shaker[0]);
  window.close();
  QVERIFY(receive.dialog() == nullptr);
  QCOMPARE(file_messages(dir / "Shaker_2 (partial).mid"), (std::vector<Bytes>{shaker[0]}));
  QCOMPARE(window.list_widget().count(), 3);
}

}  // namespace brisca::test

BRISCA_QTEST_MAIN(brisca::test::ReceiveDialogTest)
#include "receive_dialog_test.moc"
