// The window at more than its design size: the controls follow the size (the design's size the
// least), the size, place, monitor and list order come back at the next start, the overviews
// share one column and one time scale and are drawn at the screen's resolution, and the rows
// grow with the desktop's font. Grabs of the design size, a grown window and a maximised one with
// the monitor and 50 rows; run again at a scale factor of 2 (grabs named "..._2x").
#include <QDataStream>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

#include "app/devices/qt_settings_store.h"
#include "app/gui/overview_painter.h"
#include "app/gui/sound_list_widget.h"
#include "app/gui/window_memory.h"
#include "soundlist/gather.h"
#include "tests/app/window_test_support.h"
#include "tests/preview/block_maker.h"
#include "tests/support/sound_files.h"

namespace brisca {
namespace {

using test::find_control;

QLineEdit* field_of(QWidget* client, const char* caption) {
  for (QLineEdit* f : client->findChildren<QLineEdit*>())
    if (f->property("caption").toString() == QLatin1String(caption)) return f;
  return nullptr;
}

QLabel* label_of(QWidget* client, const char* caption) {
  for (QLabel* l : client->findChildren<QLabel*>())
    if (l->text() == QLatin1String(caption)) return l;
  return nullptr;
}

// A sound of `blocks` data blocks of noise at pitch 0: 880 samples, 1/50 s, each.
void write_noise(const std::string& path, int blocks, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<Bytes> messages;
  for (int b = 1; b <= blocks; ++b)
    messages.push_back(make_block(static_cast<std::uint16_t>(b), test::random_block(rng, 0)));
  write_file(path, test::sound_file(messages, blocks + 1));
}

bool is_white(QRgb p) {
  return qRed(p) > 240 && qGreen(p) > 240 && qBlue(p) > 240;
}

// Qt's record of a window of 1500 x 900 at (100, 60), not maximised, on the first screen 1920
// pixels wide at a scale factor of 1 (QWidget::saveGeometry), as the store keeps it.
std::string geometry_at_1x() {
  QByteArray record;
  QDataStream out(&record, QIODevice::WriteOnly);
  out.setVersion(QDataStream::Qt_4_0);
  const QRect window(100, 60, 1500, 900);
  out << quint32(0x1D9D0CB) << quint16(3) << quint16(0) << window << window << qint32(0)
      << quint8(0) << quint8(0) << qint32(1920) << window;
  return record.toBase64().toStdString();
}

const char* grab_name(const QWidget& window, const char* name) {
  static std::string named;
  named = std::string(name) + (window.devicePixelRatio() > 1.5 ? "_2x" : "");
  return named.c_str();
}

}  // namespace

class WindowGrowTest : public QObject {
  Q_OBJECT

 private slots:
  void controls_follow_the_size_and_the_design_is_the_least();
  void size_place_monitor_and_order_are_remembered();
  void a_size_remembered_at_another_scale_comes_back_as_large_as_fits();
  void overviews_share_one_column_and_one_time_scale();
  void rows_grow_with_a_larger_desktop_font();
};

void WindowGrowTest::controls_follow_the_size_and_the_design_is_the_least() {
  MainWindow window;
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QWidget* client = window.centralWidget();
  const int bar = window.menuBar()->height();
  QCOMPARE(window.size(), QSize(441, bar + 273));  // the design's size at first start
  QCOMPARE(window.minimumSize(), window.size());
  QVERIFY(window.windowFlags() & Qt::WindowMaximizeButtonHint);
  QCOMPARE(window.list_widget().geometry(), QRect(10, 50, 327, 215));
  test::save_grab(&window, grab_name(window, "window_design_size"));

  window.resize(1000, 640);
  QTRY_COMPARE(client->size(), QSize(1000, 640 - bar));
  const int dx = 1000 - 441, dy = 640 - bar - 273;
  QCOMPARE(window.list_widget().geometry(), QRect(10, 50, 327 + dx, 215 + dy));
  QCOMPARE(field_of(client, "Path and Files")->geometry(), QRect(10, 24, 327 + dx, 18));
  QCOMPARE(field_of(client, "Total Blocks")->geometry(), QRect(350 + dx, 24, 80, 18));
  QCOMPARE(find_control<QPushButton>(client, kListenId)->geometry(), QRect(350 + dx, 50, 80, 20));
  QCOMPARE(find_control<QPushButton>(client, kMidiMonId)->geometry(), QRect(350 + dx, 242, 80, 20));

  // The monitor row comes below the list, as wide as the window allows; the list keeps its height.
  window.actions().midi_mon->trigger();
  QTRY_COMPARE(window.height(), 640 + 83);
  QCOMPARE(window.list_widget().height(), 215 + dy);
  QCOMPARE(label_of(client, "Note Off")->geometry().topLeft(), QPoint(10, 280 + dy));
  const QRect pitch_bend = field_of(client, "Pitch Bend")->geometry();
  QCOMPARE(pitch_bend.right(), client->width() - 17);
  QCOMPARE(pitch_bend.top(), 294 + dy);
  QVERIFY(field_of(client, "System Exclusive")->width() > 175 * 2);
  QCOMPARE(find_control<QPushButton>(client, kClearDataId)->geometry(),
           QRect(350 + dx, 327 + dy, 80, 20));
  // Nothing leaves the window or lies over another control.
  QList<QWidget*> shown;
  for (QWidget* w : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (w->isVisible() && w->objectName() != QStringLiteral("OverviewScale")) shown << w;
  for (QWidget* a : shown) {
    QVERIFY2(client->rect().contains(a->geometry()), qPrintable(a->objectName()));
    for (QWidget* b : shown)
      QVERIFY2(a == b || !a->geometry().intersects(b->geometry()),
               qPrintable(a->property("caption").toString() + " / " + b->objectName()));
  }
  window.set_field_text(field_of(MonitorField::SystemExclusive),
                        "F0 33 00 05 00 00 01 ...  [1174]");
  test::save_grab(&window, grab_name(window, "window_grown_monitor"));

  // Smaller than the design it cannot be.
  window.resize(200, 150);
  QTRY_COMPARE(window.size(), QSize(441, bar + 356));
  QCOMPARE(window.list_widget().geometry(), QRect(10, 50, 327, 215));
  window.actions().midi_mon->trigger();
  QTRY_COMPARE(window.size(), QSize(441, bar + 273));
}

void WindowGrowTest::size_place_monitor_and_order_are_remembered() {
  test::TempDir tmp;
  const QString ini = QString::fromStdString(tmp / "settings.ini");
  {
    QtSettingsStore store(ini);
    MainWindow window;
    window.set_settings_store(&store);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.setGeometry(QRect(60, 40, 700, 400));
    QTRY_COMPARE(window.geometry(), QRect(60, 40, 700, 400));
    window.actions().midi_mon->trigger();
    window.actions().list.sort_by_name->trigger();
    QTRY_COMPARE(window.height(), 483);
    window.hide();
  }
  {
    QtSettingsStore store(ini);
    MainWindow window;
    window.set_settings_store(&store);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.geometry(), QRect(60, 40, 700, 483));
    QVERIFY(window.monitor_shown());
    QVERIFY(!window.list_widget().sorted());
    // Left off every screen (a screen that is gone), and larger than the screen, it comes back
    // onto one, within it.
    window.setGeometry(QRect(6000, 5000, 2500, 1500));
    QTRY_COMPARE(window.geometry().topLeft(), QPoint(6000, 5000));
    window.hide();
  }
  QtSettingsStore store(ini);
  MainWindow window;
  window.set_settings_store(&store);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  const QRect screen = window.screen()->availableGeometry();
  const QRect at = window.frameGeometry();
  QVERIFY2(screen.contains(at), qPrintable(QStringLiteral("%1x%2 at %3,%4 on %5x%6")
                                               .arg(at.width())
                                               .arg(at.height())
                                               .arg(at.x())
                                               .arg(at.y())
                                               .arg(screen.width())
                                               .arg(screen.height())));
}

// Remembered at 1500 x 900 at a scale factor of 1, the window comes back at that size, or at a
// larger scale as large as the screen allows (not maximised, and not at the design's size).
void WindowGrowTest::a_size_remembered_at_another_scale_comes_back_as_large_as_fits() {
  test::TempDir tmp;
  QtSettingsStore store(QString::fromStdString(tmp / "settings.ini"));
  store.write(kWindowGeometryValue, geometry_at_1x());
  MainWindow window;
  window.set_settings_store(&store);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  const QRect screen = window.screen()->availableGeometry();
  const QSize frame = window.frameGeometry().size() - window.size();
  const QSize room = screen.size() - frame;
  QCOMPARE(window.size(), QSize(1500, 900).boundedTo(room));
  QVERIFY(screen.contains(window.frameGeometry()));
  QVERIFY(!window.isMaximized());
}

void WindowGrowTest::overviews_share_one_column_and_one_time_scale() {
  test::TempDir tmp;
  const std::string folder = tmp.make_folder("kit");
  write_noise(folder + "/a hat.mid", 10, 1);   // 0.2 s
  write_noise(folder + "/a tom.mid", 100, 2);  // 2 s
  for (const char* name : {"clap", "hat", "kick", "snare", "tom"})
    std::filesystem::copy_file(std::string(BRISCA_EXAMPLES_DIR "/") + name + ".mid",
                               folder + "/example " + name + ".mid");
  for (int i = 0; i < 43; ++i)
    write_noise(folder + "/row " + std::to_string(10 + i) + ".mid", 2 + (i * 7) % 60,
                static_cast<unsigned>(i + 10));
  test::write_sound(folder + "/damaged.mid", 27);  // 2 of 27 blocks

  MainWindow window;
  window.actions().midi_mon->trigger();
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  add_arguments(window.sound_list(), {folder});
  SoundListWidget& list = window.list_widget();
  QCOMPARE(list.count(), 51);
  list.grab();
  window.overviews().wait_idle();  // every row's overview, the longest one included
  auto* scale = window.centralWidget()->findChild<QLabel*>(QStringLiteral("OverviewScale"));
  QTRY_COMPARE(scale->text(), QStringLiteral("Overview scale: 2 s"));
  QCOMPARE(window.row_delegate().scale(), 2.0);
  list.setCurrentRow(3);
  test::save_grab(&window, grab_name(window, "window_design_50_rows"));

  window.showMaximized();
  QTRY_VERIFY(window.width() > 900);
  QTRY_COMPARE(window.centralWidget()->size(),
               window.size() - QSize(0, window.menuBar()->height()));
  window.overviews().wait_idle();
  QTest::qWait(50);
  test::save_grab(&window, grab_name(window, "window_maximised_50_rows"));

  const QImage image = list.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const qreal ratio = image.devicePixelRatio();
  auto pixel = [&](int x, int y) {
    return image.pixel(static_cast<int>(x * ratio), static_cast<int>(y * ratio));
  };
  const QFontMetrics metrics(list.font());
  auto column_of = [&](int row, int* left) {
    QStyleOptionViewItem option;
    option.initFrom(list.viewport());
    option.rect = list.row_rect(row);
    option.font = list.font();
    option.fontMetrics = metrics;
    *left = window.row_delegate().column_left(option, list.model()->index(row, 0));
    return overview_column(option.rect, *left, duration_room(metrics, 2.0));
  };
  auto row_named = [&](const std::string& name) {
    for (int row = 0; row < list.count(); ++row)
      if (list.text(row) == name) return row;
    return -1;
  };
  // Every visible row's envelope begins at the column's left edge, after a free gap.
  int first_left = -1;
  for (int row = list.verticalScrollBar()->value(); row < list.count(); ++row) {
    const QRect rect = list.row_rect(row);
    if (rect.bottom() >= list.viewport()->height()) break;
    int left = 0;
    const QRect column = column_of(row, &left);
    if (first_left < 0) first_left = left;
    QCOMPARE(left, first_left);
    QVERIFY(column.width() > 500);
    if (list.text(row) == "damaged.mid") continue;
    bool inked = false;
    for (int y = column.top(); y <= column.bottom(); ++y)
      inked |= !is_white(pixel(column.left(), y));
    QVERIFY2(inked, list.text(row).c_str());
  }
  // The 0.2 s hat takes a tenth of the column, the 2 s tom all of it; each ends in its duration.
  const int hat = row_named("a hat.mid"), tom = row_named("a tom.mid");
  int left = 0;
  const QRect hat_column = column_of(hat, &left), tom_column = column_of(tom, &left);
  const QRect hat_area = envelope_area(hat_column, 0.2, 2.0);
  QVERIFY(std::abs(hat_area.width() - hat_column.width() / 10) <= 1);
  QCOMPARE(envelope_area(tom_column, 2.0, 2.0), tom_column);
  auto ink_between = [&](const QRect& column, int from, int to) {
    int ink = 0;
    for (int x = from; x < to; ++x)
      for (int y = column.top(); y <= column.bottom(); ++y) ink += !is_white(pixel(x, y));
    return ink;
  };
  const int text_end = hat_area.right() + 4 + metrics.horizontalAdvance(duration_text(0.2)) + 2;
  QVERIFY(ink_between(hat_column, hat_area.left(), hat_area.right() + 1) > hat_area.width());
  QVERIFY(ink_between(hat_column, hat_area.right() + 3, text_end) > 10);  // "0.20 s"
  QCOMPARE(ink_between(hat_column, text_end + 2, hat_column.right()), 0);
  QVERIFY(ink_between(tom_column, tom_column.right() - 20, tom_column.right()) > 20);

  // Drawn at the screen's resolution: at a scale factor of 2 neighbouring device columns differ
  // (an envelope drawn at half resolution repeats each column twice, so no pair would).
  if (ratio > 1.5) {
    const QRect area = tom_column;
    int differing = 0, pairs = 0;
    for (int x = area.left() * 2; x < area.right() * 2; x += 2, ++pairs) {
      for (int y = area.top() * 2; y < area.bottom() * 2; ++y)
        if (image.pixel(x, y) != image.pixel(x + 1, y)) {
          ++differing;
          break;
        }
    }
    QVERIFY2(differing * 10 > pairs,
             qPrintable(QStringLiteral("%1 of %2").arg(differing).arg(pairs)));
  }
}

void WindowGrowTest::rows_grow_with_a_larger_desktop_font() {
  const QFont saved = QApplication::font();
  auto restore = qScopeGuard([&] { QApplication::setFont(saved); });
  QFont large = saved;
  large.setPixelSize(26);
  QApplication::setFont(large);
  test::TempDir tmp;
  for (const char* name : {"clap", "hat", "kick"})
    std::filesystem::copy_file(std::string(BRISCA_EXAMPLES_DIR "/") + name + ".mid",
                               tmp / (std::string(name) + ".mid"));
  MainWindow window;
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  add_arguments(window.sound_list(), {tmp.path()});
  SoundListWidget& list = window.list_widget();
  const QFontMetrics metrics(list.font());
  QVERIFY2(metrics.height() >= 2 * QFontMetrics(ui_font()).height() - 2,
           qPrintable(QString::number(metrics.height())));
  QCOMPARE(list.row_rect(0).height(), metrics.height() + 1);
  QCOMPARE(list.row_height(), metrics.height() + 1);
  QCOMPARE(window.centralWidget()->font(), ui_font());  // the other controls keep their place
  list.grab();
  window.overviews().wait_idle();
  test::save_grab(&window, grab_name(window, "rows_large_font"));
}

}  // namespace brisca

BRISCA_QTEST_MAIN(brisca::WindowGrowTest)
#include "test_window_grow.moc"
