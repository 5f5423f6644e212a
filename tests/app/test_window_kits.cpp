// Kits in the window: the list saved as a playlist (in its order, relative paths under the
// playlist's folder), the playlist dropped on a window after its folder moved (the sounds in its
// order, the missing one told), the recent playlists, and the last list opened again at start
// only when the user chose so; a send with a damaged file selected names it and sends nothing.
#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/devices/qt_settings_store.h"
#include "app/download_hooks.h"
#include "app/gui/qt_clock.h"
#include "app/gui/sound_list_widget.h"
#include "app/gui/window_memory.h"
#include "soundlist/gather.h"
#include "tests/app/window_test_support.h"
#include "tests/download/fake_midi_out.h"
#include "tests/support/sound_files.h"

namespace brisca {
namespace {

std::vector<std::string> texts(MainWindow& window) {
  std::vector<std::string> out;
  for (int i = 0; i < window.list_widget().count(); ++i)
    out.push_back(window.list_widget().text(i));
  return out;
}

std::string read_text(const std::string& path) {
  std::ifstream in(path);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

// Types `name` into a file dialog showing `folder` and accepts it.
void choose_in_dialog(QWidget* modal, const std::string& folder, const QString& name) {
  auto* dialog = qobject_cast<QFileDialog*>(modal);
  QVERIFY(dialog);
  dialog->setDirectory(QString::fromStdString(folder));
  dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
  auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  for (QAbstractButton* b : buttons->buttons())
    if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole) b->click();
}

void drop_on(MainWindow& window, const std::string& path) {
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
  const QPoint where = window.list_widget().geometry().center();
  QDragEnterEvent enter(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  QDropEvent drop(QPointF(where), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
}

}  // namespace

class WindowKitsTest : public QObject {
  Q_OBJECT

 private slots:
  void list_saved_as_a_playlist_comes_back_from_another_folder();
  void last_list_comes_back_at_start_only_when_chosen();
  void send_with_a_damaged_file_selected_names_it_and_sends_nothing();
};

void WindowKitsTest::list_saved_as_a_playlist_comes_back_from_another_folder() {
  test::TempDir tmp;
  const std::string kit = tmp.make_folder("kit");
  const std::string outside = test::write_sound(tmp.make_folder("other") + "/x.mid", 4);
  for (const char* name : {"c.mid", "a.mid", "b.mid"}) test::write_sound(kit + "/" + name, 3);
  QtSettingsStore store(QString::fromStdString(tmp / "settings.ini"));
  std::string saved;
  {
    MainWindow window;
    window.set_settings_store(&store);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.actions().list.sort_by_name->trigger();  // the order added
    Gatherer(window.sound_list())
        .add_paths({kit + "/c.mid", outside, kit + "/a.mid", kit + "/b.mid"});
    test::answer_modals(
        [&] { window.actions().kits.save_list_as->trigger(); },
        [&](QWidget* modal) { choose_in_dialog(modal, kit, QStringLiteral("kit")); });
    saved = kit + "/kit.m3u";
    QCOMPARE(read_text(saved), "#EXTM3U\nc.mid\n" + outside + "\na.mid\nb.mid\n");
    QCOMPARE(window.status_text(), QStringLiteral("Saved 4 sound(s) as kit.m3u"));
    QMenu* recent = window.kit_actions().recent;
    QVERIFY(recent->isEnabled());
    QCOMPARE(recent->actions().size(), 1);
    QCOMPARE(recent->actions()[0]->text(), QStringLiteral("&1 ") + QString::fromStdString(saved));
  }

  // The kit folder moves one level down; the sound outside stays; one sound of the kit is lost.
  std::filesystem::create_directories(tmp / "moved");
  std::filesystem::rename(kit, tmp / "moved/kit");
  std::filesystem::remove(tmp / "moved/kit/a.mid");
  MainWindow window;  // sorted by name, as at a first start
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  const auto seen = test::answer_modals([&] {
    drop_on(window, tmp / "moved/kit/kit.m3u");
    QTRY_COMPARE(window.list_widget().count(), 3);
  });
  QCOMPARE(texts(window), (std::vector<std::string>{"c.mid", "x.mid", "b.mid"}));
  QCOMPARE(window.sound_list().full_path(0), tmp / "moved/kit/c.mid");
  QCOMPARE(window.sound_list().full_path(1), outside);
  QVERIFY(!window.list_widget().sorted());
  QVERIFY(window.status_text().contains(QStringLiteral("playlist's order")));
  QCOMPARE(seen.size(), 1u);
  QCOMPARE(seen[0].title, QStringLiteral("Files not added"));
  QCOMPARE(seen[0].text, QString::fromStdString("These were not added:\n\n" +
                                                (tmp / "moved/kit/a.mid") + ": no such file"));
  // A recent playlist that is gone is told and leaves the menu.
  MainWindow again;
  again.set_settings_store(&store);
  const auto gone =
      test::answer_modals([&] { again.kit_actions().recent->actions()[0]->trigger(); });
  QCOMPARE(gone.size(), 1u);
  QVERIFY(gone[0].text.startsWith(QStringLiteral("The playlist cannot be read (No such file")));
  QVERIFY(!again.kit_actions().recent->isEnabled());
}

void WindowKitsTest::last_list_comes_back_at_start_only_when_chosen() {
  test::TempDir tmp;
  for (const char* name : {"a.mid", "b.mid", "c.mid"}) test::write_sound(tmp / name, 3);
  QtSettingsStore store(QString::fromStdString(tmp / "settings.ini"));
  {
    MainWindow window;
    window.set_settings_store(&store);
    QVERIFY(!window.kit_actions().reopen_last->isChecked());  // off until chosen
    window.actions().kits.reopen_last->trigger();
    QVERIFY(window.kit_actions().reopen_last->isChecked());
    Gatherer(window.sound_list()).add_paths({tmp / "b.mid", tmp / "a.mid"});
    QTRY_VERIFY(store.read(kLastListValue).value_or("").find("b.mid") != std::string::npos);
  }
  std::filesystem::remove(tmp / "b.mid");
  {
    MainWindow window;
    window.set_settings_store(&store);
    window.set_command_line({tmp / "c.mid"});
    window.show();
    const auto seen = test::answer_modals([&] {
      window.post_command_line();
      QTRY_COMPARE(window.list_widget().count(), 2);
    });
    QCOMPARE(texts(window), (std::vector<std::string>{"a.mid", "c.mid"}));
    QCOMPARE(seen.size(), 1u);
    QVERIFY(seen[0].text.endsWith(QString::fromStdString(tmp / "b.mid") + ": no such file"));
    window.actions().kits.reopen_last->trigger();  // off again: the list is no longer kept
    QCOMPARE(store.read(kLastListValue).value_or("x"), std::string());
  }
  MainWindow window;
  window.set_settings_store(&store);
  window.set_command_line({tmp / "c.mid"});
  window.post_command_line();
  QTRY_COMPARE(window.list_widget().count(), 1);
}

// The damaged file sorts after a whole one: not even the whole one's first byte goes out.
void WindowKitsTest::send_with_a_damaged_file_selected_names_it_and_sends_nothing() {
  test::TempDir tmp;
  test::write_sound(tmp / "a whole.mid", 3);
  test::write_sound(tmp / "b damaged.mid", 27);
  test::FakeMidiService service;
  MainWindow window;
  QtClock clock;
  DownloadWindowHooks hooks(service, window.sound_list(), clock,
                            [&window](const Notice& notice) { return window.ask(notice); });
  window.set_hooks(WindowHooks{nullptr, &hooks, nullptr, nullptr, nullptr});
  auto detach = qScopeGuard([&] { window.set_hooks(WindowHooks{}); });
  QCOMPARE(hooks.open(1), 1);
  Gatherer(window.sound_list()).add_paths({tmp / "a whole.mid", tmp / "b damaged.mid"});
  window.actions().select_all->trigger();
  const auto seen = test::answer_modals([&] { window.actions().send->trigger(); });
  QCOMPARE(seen.size(), 1u);
  QCOMPARE(seen[0].title, QStringLiteral("Send File(s)"));
  QVERIFY2(seen[0].text.contains(QStringLiteral("\nb damaged.mid: ends after 3 of 27 blocks")),
           qPrintable(seen[0].text));
  QVERIFY(service.log->chunks.empty());
  QVERIFY(!hooks.is_sending());
}

}  // namespace brisca

BRISCA_QTEST_MAIN(brisca::WindowKitsTest)
#include "test_window_kits.moc"
