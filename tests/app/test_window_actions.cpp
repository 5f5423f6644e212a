// Clicks, double-clicks, keys, buttons, posted messages, timers and tear-down of the window.
#include <QLineEdit>
#include <QPushButton>
#include <thread>

#include "app/gui/sound_list_widget.h"
#include "soundlist/gather.h"
#include "tests/app/window_test_support.h"
#include "tests/support/sound_files.h"

namespace brisca {

using test::find_control;

class WindowActionsTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void click_shows_folder_and_previews();
  void listen_replays_and_does_nothing_without_a_row();
  void double_click_toggles_mark_and_total();
  void keys_run_their_commands_and_others_move();
  void buttons_select_and_reach_the_download();
  void clear_data_empties_the_monitor_fields();
  void posted_tasks_run_on_the_window_thread();
  void clock_calls_repeat_until_cancelled();
  void tear_down_closes_open_devices_in_order();
  void rows_show_their_states();
  void highlight_follows_its_row_as_the_list_changes();

 private:
  QPoint row_centre(int row) const { return list().row_rect(row).center(); }
  SoundListWidget& list() const { return window->list_widget(); }
  QString field(Field f) const {
    for (QLineEdit* e : window->centralWidget()->findChildren<QLineEdit*>())
      if (e->property("caption").toString() == caption(f)) return e->text();
    return QStringLiteral("<none>");
  }
  static QString caption(Field f) {
    static const char* captions[] = {"Note Off", "Note On",    "Poly Press",   "Ctrl Chg",
                                     "Prog Chg", "Chan Press", "Pitch Bend",   "System Exclusive",
                                     "Common",   "Real Time",  "Total Blocks", "Path and Files"};
    return QString::fromLatin1(captions[static_cast<int>(f)]);
  }
  // What a double-click delivers: press, release, double-click press, release.
  void double_click(int row) {
    QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, row_centre(row));
    QTest::mouseDClick(list().viewport(), Qt::LeftButton, {}, row_centre(row));
    QTest::mouseRelease(list().viewport(), Qt::LeftButton, {}, row_centre(row));
  }
  void click_button(int id) {
    QTest::mouseClick(find_control<QPushButton>(window->centralWidget(), id), Qt::LeftButton);
  }

  std::unique_ptr<test::TempDir> tmp;
  std::unique_ptr<MainWindow> window;
  test::RecordingPreview preview;
  test::RecordingDownload download;
  test::RecordingMonitor monitor;
};

// A window with rows a.mid (10 blocks), b.mid (20), c.mid (30) from one folder.
void WindowActionsTest::init() {
  preview = {};
  download = {};
  monitor = {};
  tmp = std::make_unique<test::TempDir>();
  window = std::make_unique<MainWindow>();
  window->set_hooks({&preview, &download, &monitor, nullptr});
  test::write_sound(*tmp / "a.mid", 10);
  test::write_sound(*tmp / "b.mid", 20);
  test::write_sound(*tmp / "c.mid", 30);
  add_arguments(window->sound_list(), {tmp->path()});
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void WindowActionsTest::cleanup() {
  window.reset();
  tmp.reset();
}

void WindowActionsTest::click_shows_folder_and_previews() {
  QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, row_centre(1));
  QCOMPARE(list().selected_row(), 1);
  QCOMPARE(field(Field::PathAndFiles), QString::fromStdString(tmp->path() + "/"));
  QCOMPARE(preview.previews.size(), 1u);
  QCOMPARE(preview.previews[0].first, tmp->path() + "/");
  QCOMPARE(preview.previews[0].second, std::string("b.mid"));
  // Clicking the same row again plays it again.
  QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, row_centre(1));
  QCOMPARE(preview.previews.size(), 2u);
  // A click below the rows selects nothing and plays nothing.
  QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, QPoint(50, 150));
  QCOMPARE(preview.previews.size(), 2u);
}

void WindowActionsTest::listen_replays_and_does_nothing_without_a_row() {
  click_button(105);
  QVERIFY(preview.previews.empty());
  QCOMPARE(field(Field::PathAndFiles), QString());
  QCOMPARE(window->status_text(), QString());

  // With no output chosen, a click and "Send File(s)" say so instead of nothing.
  QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, row_centre(2));
  QCOMPARE(window->status_text(),
           QString::fromUtf8("No audio output: choose one in Setup > Audio\u2026"));
  click_button(109);
  QCOMPARE(window->status_text(),
           QString::fromUtf8("No MIDI output: choose one in Setup > MIDI\u2026"));
  test::save_grab(window.get(), "status_line");
  window->set_field_text(Field::PathAndFiles, "typed over");
  click_button(105);
  QCOMPARE(preview.previews.size(), 2u);
  QCOMPARE(preview.previews[1].second, std::string("c.mid"));
  QCOMPARE(field(Field::PathAndFiles), QStringLiteral("typed over"));
}

void WindowActionsTest::double_click_toggles_mark_and_total() {
  double_click(2);
  QVERIFY(window->sound_list().row(2).selected);
  QCOMPARE(field(Field::TotalBlocks), QStringLiteral("  30"));
  QCOMPARE(preview.previews.size(), 1u);  // the first click of the two plays the row

  double_click(0);
  QCOMPARE(field(Field::TotalBlocks), QStringLiteral("  40"));
  double_click(2);
  QVERIFY(!window->sound_list().row(2).selected);
  QCOMPARE(field(Field::TotalBlocks), QStringLiteral("  10"));
}

void WindowActionsTest::keys_run_their_commands_and_others_move() {
  list().setFocus();
  QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, row_centre(0));
  QTest::keyClick(&list(), Qt::Key_Space);
  QCOMPARE(field(Field::TotalBlocks), QStringLiteral("  10"));
  QTest::keyClick(&list(), Qt::Key_Insert);
  QCOMPARE(field(Field::TotalBlocks), QStringLiteral("  60"));
  QTest::keyClick(&list(), Qt::Key_Delete);
  QCOMPARE(field(Field::TotalBlocks), QStringLiteral("   0"));
  QTest::keyClick(&list(), Qt::Key_Return);
  QTest::keyClick(&list(), Qt::Key_Enter);
  QCOMPARE(download.sends, 2);
  QTest::keyClick(&list(), Qt::Key_Escape);
  QCOMPARE(download.stops, 1);
  QVERIFY(window->isVisible());
  QCOMPARE(list().selected_row(), 0);  // none of these moved the selection

  // Other keys keep their list meaning; each move shows and plays the new row.
  preview.previews.clear();
  QTest::keyClick(&list(), Qt::Key_Down);
  QCOMPARE(list().selected_row(), 1);
  QTest::keyClick(&list(), Qt::Key_End);
  QCOMPARE(list().selected_row(), 2);
  QTest::keyClick(&list(), Qt::Key_Down);  // already at the end: no change, no preview
  QTest::keyClick(&list(), Qt::Key_Home);
  QCOMPARE(list().selected_row(), 0);
  QCOMPARE(preview.previews.size(), 3u);
  QCOMPARE(preview.previews[1].second, std::string("c.mid"));
  QCOMPARE(window->sound_list().state().selected_blocks, 0);
}

void WindowActionsTest::buttons_select_and_reach_the_download() {
  click_button(107);
  QCOMPARE(field(Field::TotalBlocks), QStringLiteral("  60"));
  list().setCurrentRow(1);
  click_button(106);
  QCOMPARE(field(Field::TotalBlocks), QStringLiteral("  40"));
  click_button(108);
  QCOMPARE(field(Field::TotalBlocks), QStringLiteral("   0"));
  for (int row = 0; row < 3; ++row) QVERIFY(!window->sound_list().row(row).selected);
  click_button(109);
  click_button(110);
  QCOMPARE(download.sends, 1);
  QCOMPARE(download.stops, 1);

  // After a click the keys go to the list again, wherever the focus was before.
  window->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  window->centralWidget()->findChildren<QLineEdit*>().first()->setFocus();
  click_button(107);
  QCOMPARE(QApplication::focusWidget(), &list());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  QCOMPARE(field(Field::TotalBlocks), QStringLiteral("  40"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QCOMPARE(download.sends, 2);
}

void WindowActionsTest::clear_data_empties_the_monitor_fields() {
  for (int i = 0; i < kMonitorFieldCount; ++i) window->set_field_text(static_cast<Field>(i), "7F");
  window->set_field_text(Field::PathAndFiles, "/keep/");
  window->actions().clear_data->trigger();
  for (int i = 0; i < kMonitorFieldCount; ++i) QCOMPARE(field(static_cast<Field>(i)), QString());
  QCOMPARE(field(Field::PathAndFiles), QStringLiteral("/keep/"));
  QCOMPARE(field(Field::TotalBlocks), QStringLiteral("   0"));
}

void WindowActionsTest::posted_tasks_run_on_the_window_thread() {
  const std::thread::id window_thread = std::this_thread::get_id();
  std::thread::id ran_on;
  std::thread poster([this, &ran_on] {
    window->clock().post([&ran_on] { ran_on = std::this_thread::get_id(); });
  });
  poster.join();
  QTRY_VERIFY(ran_on == window_thread);  // run by the window's loop, not the posting thread
}

void WindowActionsTest::clock_calls_repeat_until_cancelled() {
  int ticks = 0;
  const Clock::TimerId id =
      window->clock().call_every(std::chrono::milliseconds(70), [&ticks] { ++ticks; });
  QTRY_VERIFY(ticks >= 2);
  window->clock().cancel(id);
  const int seen = ticks;
  QTest::qWait(200);
  QCOMPARE(ticks, seen);
}

void WindowActionsTest::tear_down_closes_open_devices_in_order() {
  window->set_current_devices({2, 1, 0, 0});
  window->close();
  QCOMPARE(monitor.closes, 1);
  QCOMPARE(download.closes, 1);
  QCOMPARE(preview.closes, 0);  // no audio output was open
  window.reset();               // closing twice closes nothing more
  QCOMPARE(monitor.closes, 1);
}

// Plain, marked, being sent (two frames), sent, and sent and marked again; the current row has
// the list's highlight and the focus rectangle.
void WindowActionsTest::rows_show_their_states() {
  std::vector<std::string> names = {"d plain.mid", "e marked.mid", "f sending.mid", "g sent.mid",
                                    "h sent marked.mid"};
  std::string folder = tmp->make_folder("states");
  for (const std::string& name : names) test::write_sound(folder + "/" + name, 300);
  add_arguments(window->sound_list(), {folder});
  SoundList& sounds = window->sound_list();
  QCOMPARE(list().count(), 8);
  list().setCurrentRow(4);
  sounds.toggle_select(4);
  const RowId sending = sounds.start_sending(5);
  list().setCurrentRow(7);
  sounds.toggle_select(7);
  sounds.mark_sent(sounds.start_sending(6));
  sounds.mark_sent(sounds.start_sending(7));
  sounds.toggle_select(7);
  sounds.animate(sending);
  QVERIFY(sounds.row(7).sent && sounds.row(7).selected);
  list().setCurrentRow(1);
  window->activateWindow();
  list().setFocus();
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  // The list's changes are taken in (the names' column widened to the longest name) on the event
  // loop's next turn, as they would be before a user sees them.
  QCoreApplication::processEvents();
  test::save_grab(window.get(), "rows_states");
  sounds.animate(sending);
  test::save_grab(&list(), "rows_states_next_frame");
  QCOMPARE(window->sound_list().state().animation_counter, 2);
}

// The list view shows the list's rows through its model: told of each row before it comes or goes,
// the highlight stays on its row while rows come above it, the order changes and a row above it
// goes, and each row's marks are the list's.
void WindowActionsTest::highlight_follows_its_row_as_the_list_changes() {
  SoundList& sounds = window->sound_list();
  QAbstractItemModel* model = list().model();
  std::vector<std::pair<int, int>> before;  // (first row, rows then) as each change is announced
  connect(
      model, &QAbstractItemModel::rowsAboutToBeInserted, this,
      [&](const QModelIndex&, int first, int) { before.emplace_back(first, model->rowCount()); });
  connect(
      model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
      [&](const QModelIndex&, int first, int) { before.emplace_back(first, model->rowCount()); });
  list().setCurrentRow(1);
  sounds.add_row("0.mid", 0, 5);  // first by name
  QCOMPARE(list().selected_row(), 2);
  QCOMPARE(list().text(2), std::string("b.mid"));
  sounds.set_sorted(false);  // the order added: a b c 0
  QCOMPARE(list().text(3), std::string("0.mid"));
  QCOMPARE(list().selected_row(), 1);
  QCOMPARE(list().currentRow(), 1);
  sounds.remove_at(0);
  QCOMPARE(list().selected_row(), 0);
  QCOMPARE(list().text(0), std::string("b.mid"));
  QCOMPARE(before, (std::vector<std::pair<int, int>>{{0, 3}, {0, 4}}));
  sounds.toggle_select(2);
  const QModelIndex marked = model->index(2, 0);
  QCOMPARE(marked.data(SoundListModel::kIdRole).toULongLong(), sounds.row(2).id);
  QVERIFY(marked.data(SoundListModel::kSelectedRole).toBool());
  QVERIFY(!model->index(0, 0).data(SoundListModel::kSelectedRole).toBool());
  QCOMPARE(marked.data().toString(), QStringLiteral("0.mid   [5]"));
  QCOMPARE(model->rowCount(), sounds.count());
}

}  // namespace brisca

BRISCA_QTEST_MAIN(brisca::WindowActionsTest)
#include "test_window_actions.moc"
