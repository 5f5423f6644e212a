// Row overviews in the window (the example sounds, a damaged file, a file that changes, the play
// cursor, the tooltip) and the commands that manage the list's rows.
#include <QAction>
#include <QLineEdit>
#include <QMenuBar>
#include <filesystem>

#include "app/gui/overview_painter.h"
#include "app/gui/sound_list_widget.h"
#include "soundlist/gather.h"
#include "tests/app/window_test_support.h"
#include "tests/support/sound_files.h"

namespace brisca {
namespace {

struct PlayingPreview : test::RecordingPreview {
  std::optional<std::uint64_t> played;
  std::optional<std::uint64_t> played_samples() override { return played; }
};

bool is_red(QRgb p) {
  return qRed(p) > 150 && qGreen(p) < 90 && qBlue(p) < 90;
}

// Pixels in `area` of the image that are not the list's white, and those that are red.
struct Ink {
  int any = 0, red = 0;
  std::vector<int> red_columns;
};
Ink ink_in(const QImage& image, const QRect& area) {
  Ink ink;
  for (int x = area.left(); x <= area.right(); ++x) {
    bool red_column = false;
    for (int y = area.top(); y <= area.bottom(); ++y) {
      const QRgb p = image.pixel(x, y);
      if (p != qRgb(255, 255, 255)) ++ink.any;
      if (is_red(p)) ++ink.red, red_column = true;
    }
    if (red_column) ink.red_columns.push_back(x);
  }
  return ink;
}

}  // namespace

class WindowOverviewTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void example_sounds_draw_their_overviews();
  void damaged_and_changed_files();
  void playing_row_moves_its_cursor();
  void rows_are_removed_sorted_and_listed_once();

 private:
  SoundListWidget& list() const { return window->list_widget(); }
  // Draws the list, lets the overviews be computed, and grabs it again.
  QImage drawn_list() {
    list().grab();
    window->overviews().wait_idle();
    return list().viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  // The part of a row's overview column its envelope takes (the whole column for a damaged file).
  QRect free_space(int row) const {
    QStyleOptionViewItem option;
    option.initFrom(list().viewport());
    option.rect = list().row_rect(row);
    option.font = list().font();
    option.fontMetrics = QFontMetrics(list().font());
    const RowDelegate& delegate = window->row_delegate();
    const QRect column =
        overview_column(option.rect, delegate.column_left(option, list().model()->index(row, 0)),
                        duration_room(option.fontMetrics, delegate.scale()));
    std::shared_ptr<const SoundOverview> overview =
        window->overviews().last(window->sound_list().full_path(row));
    if (!overview || overview->damaged()) return column;
    return envelope_area(column, overview->seconds(), delegate.scale());
  }
  QString total() const {
    for (QLineEdit* e : window->centralWidget()->findChildren<QLineEdit*>())
      if (e->property("caption").toString() == QStringLiteral("Total Blocks")) return e->text();
    return {};
  }
  // One of the Edit menu's commands, taken from the list's context menu.
  QAction* action(QAction* ListActions::*which) const {
    QAction* wanted = window->actions().list.*which;
    return list().actions().contains(wanted) ? wanted : nullptr;
  }

  std::unique_ptr<test::TempDir> tmp;
  std::unique_ptr<MainWindow> window;
  PlayingPreview preview;
};

void WindowOverviewTest::init() {
  preview = {};
  tmp = std::make_unique<test::TempDir>();
  window = std::make_unique<MainWindow>();
  window->set_hooks({&preview, nullptr, nullptr, nullptr});
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void WindowOverviewTest::cleanup() {
  window.reset();
  tmp.reset();
}

void WindowOverviewTest::example_sounds_draw_their_overviews() {
  add_arguments(window->sound_list(), {BRISCA_EXAMPLES_DIR});
  QCOMPARE(list().count(), 5);
  const QImage image = drawn_list();
  QCOMPARE(window->overviews().computed(), 5);
  for (int row = 0; row < 5; ++row) {
    const QRect area = free_space(row);
    QVERIFY2(area.width() >= 30, qPrintable(QString::number(area.width())));
    const Ink ink = ink_in(image, area);
    // A waveform: ink in most columns, no damaged mark.
    QVERIFY2(ink.any >= area.width(), list().text(row).c_str());
    QCOMPARE(ink.red, 0);
  }
  test::save_grab(window.get(), "overview_examples");

  // The tooltip tells the whole path, the header, the duration, the blocks and the down-load.
  const std::string kick = window->sound_list().full_path(2);
  const QString tip = overview_tooltip(kick, 27, window->overviews().last(kick).get());
  QVERIFY2(tip.startsWith(QString::fromStdString(kick) + "\nName \"Example Kick\", type \"DRUM\"\n"
                                                         "Duration 0."),
           qPrintable(tip));
  QVERIFY2(tip.contains("\nBlocks 27\nDown-load takes about "), qPrintable(tip));
  QVERIFY(!tip.contains("Damaged"));
  // At a slower pace: one interval per chunk of that pace's size (a block is 6 chunks of 200
  // bytes, 12 of 100).
  const auto overview = window->overviews().last(kick);
  QCOMPARE(overview->messages.chunks(100), 2 * overview->messages.chunks(200));
  const double slow = static_cast<double>(overview->messages.chunks(100)) * 0.140;
  const QString slow_tip = overview_tooltip(kick, 27, overview.get(), Pace{100, 140, 0});
  QVERIFY2(slow_tip.contains(QStringLiteral("Down-load takes about %1 s").arg(slow, 0, 'f', 1)),
           qPrintable(slow_tip));
}

void WindowOverviewTest::damaged_and_changed_files() {
  test::write_sound(*tmp / "cut short.mid", 27);  // 3 of 27 blocks
  test::write_sound(*tmp / "whole.mid", 3);
  add_arguments(window->sound_list(), {tmp->path()});
  QImage image = drawn_list();
  QVERIFY(ink_in(image, free_space(0)).red > 50);
  QCOMPARE(ink_in(image, free_space(1)).red, 0);
  QVERIFY(ink_in(image, free_space(1)).any > 0);
  test::save_grab(window.get(), "overview_damaged");
  const std::string damaged = window->sound_list().full_path(0);
  QVERIFY(overview_tooltip(damaged, 27, window->overviews().last(damaged).get())
              .endsWith("\nDamaged: ends after 3 of 27 blocks"));

  // The whole file is cut short on disk: its overview is made again.
  test::write_sound(*tmp / "whole.mid", 5);
  image = drawn_list();
  QCOMPARE(window->overviews().computed(), 3);
  QVERIFY(ink_in(image, free_space(1)).red > 50);
  // Same size, only the time changed: made again as well.
  namespace fs = std::filesystem;
  fs::last_write_time(*tmp / "whole.mid",
                      fs::last_write_time(*tmp / "whole.mid") + std::chrono::seconds(5));
  drawn_list();
  QCOMPARE(window->overviews().computed(), 4);
  drawn_list();
  QCOMPARE(window->overviews().computed(), 4);  // and kept while nothing changes
}

void WindowOverviewTest::playing_row_moves_its_cursor() {
  add_arguments(window->sound_list(), {BRISCA_EXAMPLES_DIR});
  drawn_list();
  const std::string path = window->sound_list().full_path(2);
  const std::uint64_t samples = window->overviews().last(path)->samples;
  QVERIFY(samples > 10000);
  preview.played = samples / 4;
  QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, list().row_rect(2).center());
  QCOMPARE(preview.previews.size(), 1u);
  const QRect area = free_space(2);
  QImage image = drawn_list();
  Ink ink = ink_in(image, area);
  QVERIFY(!ink.red_columns.empty());
  const int quarter = area.left() + (area.width() - 1) / 4;
  QVERIFY2(std::abs(ink.red_columns.front() - quarter) <= 1,
           qPrintable(QString("%1 %2").arg(ink.red_columns.front()).arg(quarter)));
  QCOMPARE(ink_in(image, free_space(1)).red, 0);  // only the playing row has a cursor

  preview.played = samples * 3 / 4;
  QTest::qWait(120);
  image = drawn_list();
  ink = ink_in(image, area);
  QVERIFY(!ink.red_columns.empty());
  QVERIFY(std::abs(ink.red_columns.front() - (area.left() + (area.width() - 1) * 3 / 4)) <= 1);
  test::save_grab(window.get(), "overview_playing");

  preview.played.reset();  // the preview has ended
  QTest::qWait(120);
  QCOMPARE(ink_in(drawn_list(), area).red, 0);
}

void WindowOverviewTest::rows_are_removed_sorted_and_listed_once() {
  for (const char* name : {"c.mid", "a.mid", "b.mid"}) test::write_sound(*tmp / name, 3);
  Gatherer gather(window->sound_list());
  for (const char* name : {"c.mid", "a.mid", "b.mid", "a.mid"}) gather.add_path(*tmp / name);
  add_arguments(window->sound_list(), {tmp->path()});
  auto texts = [this] {
    QStringList out;
    for (int i = 0; i < list().count(); ++i) out << QString::fromStdString(list().text(i));
    return out.join(' ');
  };
  QCOMPARE(texts(), QStringLiteral("a.mid b.mid c.mid"));
  // The Edit menu holds the commands, before Setup; so does the list's context menu.
  QStringList menus;
  for (QAction* a : window->menuBar()->actions()) menus << a->text();
  QCOMPARE(menus.join(' '), QStringLiteral("&File &Edit &Setup &Help"));
  QCOMPARE(list().contextMenuPolicy(), Qt::ActionsContextMenu);

  action(&ListActions::sort_by_name)->trigger();  // the order they were added
  QCOMPARE(texts(), QStringLiteral("c.mid a.mid b.mid"));
  QVERIFY(!action(&ListActions::sort_by_name)->isChecked());
  test::write_sound(*tmp / "0.mid", 3);
  gather.add_path(*tmp / "0.mid");
  QCOMPARE(texts(), QStringLiteral("c.mid a.mid b.mid 0.mid"));
  action(&ListActions::sort_by_name)->trigger();
  QCOMPARE(texts(), QStringLiteral("0.mid a.mid b.mid c.mid"));

  // Delete keeps clearing the marks; Shift+Delete removes the current row.
  list().setFocus();
  list().setCurrentRow(1);
  QTest::keyClick(&list(), Qt::Key_Insert);
  QCOMPARE(total(), QStringLiteral("  12"));
  QTest::keyClick(&list(), Qt::Key_Delete);
  QCOMPARE(total(), QStringLiteral("   0"));
  QCOMPARE(list().count(), 4);
  QTest::keyClick(&list(), Qt::Key_Space);  // a.mid marked
  QTest::keyClick(&list(), Qt::Key_Delete, Qt::ShiftModifier);
  QCOMPARE(texts(), QStringLiteral("0.mid b.mid c.mid"));
  QCOMPARE(total(), QStringLiteral("   0"));

  list().setCurrentRow(2);
  QTest::keyClick(&list(), Qt::Key_Space);  // c.mid marked
  action(&ListActions::remove_selected)->trigger();
  QCOMPARE(texts(), QStringLiteral("0.mid b.mid"));
  QCOMPARE(total(), QStringLiteral("   0"));
  QTest::keyClick(&list(), Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(list().count(), 0);
  add_arguments(window->sound_list(), {tmp->path()});
  QCOMPARE(texts(), QStringLiteral("0.mid a.mid b.mid c.mid"));
}

}  // namespace brisca

BRISCA_QTEST_MAIN(brisca::WindowOverviewTest)
#include "test_window_overview.moc"
