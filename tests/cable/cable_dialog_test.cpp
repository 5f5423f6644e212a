// Setup > Test Cable... under Qt Test, offscreen, over a loop without devices: the progress bar
// fills while the window's event loop runs, a line per pace shows, the result line names the
// pace found, and Keep Pace remembers it for the output with the output's pause between files.
// A grab of the dialog goes to BRISCA_SCREENSHOT_DIR.
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "app/devices/pace_settings.h"
#include "app/gui/cable_dialog.h"
#include "tests/app/window_test_support.h"
#include "tests/cable/fake_loop.h"
#include "tests/devices/fake_services.h"

namespace brisca::test {

class CableDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void finds_shows_and_keeps_a_pace();
};

void CableDialogTest::finds_shows_and_keeps_a_pace() {
  LoopService service;
  MemoryStore store;
  remember_pace(&store, "Loop Out", Pace{50, 100, 300});
  int kept = 0;
  CableDialog dialog(service, &store, CableEntries{1, 1, "Loop Out", "Loop In"},
                     [&kept] { ++kept; });
  dialog.show();
  QVERIFY(dialog.start_button()->isEnabled());
  QVERIFY(!dialog.keep_button()->isEnabled());
  QTest::mouseClick(dialog.start_button(), Qt::LeftButton);
  QVERIFY(dialog.running());
  QCOMPARE(dialog.start_button()->text(), QStringLiteral("Stop"));
  // The window's loop goes on meanwhile: the bar moves before the test ends.
  QTRY_VERIFY_WITH_TIMEOUT(dialog.progress_bar()->value() > 0 && dialog.running(), 30000);
  QTRY_VERIFY_WITH_TIMEOUT(!dialog.running(), 60000);
  QCOMPARE(dialog.progress_bar()->value(), 1000);
  const QStringList lines = dialog.pace_lines()->toPlainText().split(QLatin1Char('\n'));
  QCOMPARE(lines.size(), 1);
  QVERIFY(lines[0].startsWith(QStringLiteral("200-byte chunks every 70 ms: 10 sent, 10 whole")));
  QVERIFY(lines[0].endsWith(QStringLiteral("  passed")));
  QVERIFY2(dialog.result_line()->text().startsWith(
               QStringLiteral("Pace found: 200-byte chunks every 70 ms (")),
           qPrintable(dialog.result_line()->text()));
  QVERIFY(dialog.keep_button()->isEnabled());
  save_grab(&dialog, "cable_dialog");

  QTest::mouseClick(dialog.keep_button(), Qt::LeftButton);
  QCOMPARE(kept, 1);
  QCOMPARE(remembered_pace(&store, "Loop Out"), std::optional<Pace>(Pace{200, 70, 300}));
  QVERIFY(!dialog.keep_button()->isEnabled());
}

}  // namespace brisca::test

BRISCA_QTEST_REGISTER(brisca::test::CableDialogTest, true)
#include "cable_dialog_test.moc"
