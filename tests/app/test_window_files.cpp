// Files reaching the window: the command line, the Open dialog, drops and bad files; and the
// About and Usage dialogs.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/gui/dialogs.h"
#include "app/gui/sound_list_widget.h"
#include "tests/app/window_test_support.h"
#include "tests/support/sound_files.h"

namespace brisca {

class WindowFilesTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void command_line_is_gathered_once_the_window_is_shown();
  void open_dialog_adds_the_chosen_files();
  void cancelled_open_dialog_adds_nothing();
  void dropped_files_and_folders_are_gathered();
  void bad_file_raises_exactly_one_box();
  void about_dialog_shows_version_and_icon();
  void usage_dialog_shows_the_usage_text();

 private:
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (int i = 0; i < window->list_widget().count(); ++i)
      out.push_back(window->list_widget().text(i));
    return out;
  }
  // Chooses `names` in the Open dialog by typing them into its file name field.
  static void choose_in_open_dialog(QWidget* modal, const QString& folder, const QString& names) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    QVERIFY(dialog);
    QCOMPARE(dialog->nameFilters(),
             (QStringList{"MIDI Files and Playlists (*.mid *.m3u *.m3u8)", "MIDI Files (*.mid)",
                          "Playlists (*.m3u *.m3u8)", "All Files (*.*)"}));
    QCOMPARE(dialog->selectedNameFilter(),
             QStringLiteral("MIDI Files and Playlists (*.mid *.m3u *.m3u8)"));
    QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
    dialog->setDirectory(folder);
    auto* name_edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(name_edit);
    name_edit->setText(names);
    auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    QVERIFY(buttons);
    QPushButton* open = nullptr;
    for (QAbstractButton* b : buttons->buttons())
      if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole)
        open = qobject_cast<QPushButton*>(b);
    QVERIFY(open && open->isEnabled());
    open->click();
  }
  static void check_centred(QWidget* modal, QWidget* owner) {
    QPoint offset = modal->geometry().center() - owner->geometry().center();
    QVERIFY2(offset.manhattanLength() <= 4,
             qPrintable(QString("off by %1,%2").arg(offset.x()).arg(offset.y())));
  }

  std::unique_ptr<test::TempDir> tmp;
  std::unique_ptr<MainWindow> window;
};

void WindowFilesTest::init() {
  tmp = std::make_unique<test::TempDir>();
  window = std::make_unique<MainWindow>();
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void WindowFilesTest::cleanup() {
  window.reset();
  tmp.reset();
}

void WindowFilesTest::command_line_is_gathered_once_the_window_is_shown() {
  test::write_sound(*tmp / "one.mid", 5);
  std::string folder = tmp->make_folder("kit");
  test::write_sound(folder + "/two.mid", 6);
  window->set_command_line({*tmp / "one.mid", folder, *tmp / "missing.mid"});
  window->post_command_line();
  QCOMPARE(window->list_widget().count(), 0);  // posted: handled by the event loop
  QTRY_COMPARE(window->list_widget().count(), 2);
  QCOMPARE(texts(), (std::vector<std::string>{"one.mid", "two.mid"}));
  window->post_command_line();  // the command line is used once
  QTest::qWait(50);
  QCOMPARE(window->list_widget().count(), 2);
}

void WindowFilesTest::open_dialog_adds_the_chosen_files() {
  for (const char* name : {"b.mid", "a.mid", "c.mid", "d.mid"}) test::write_sound(*tmp / name, 4);
  test::write_text(*tmp / "z-bad.mid", "no header here");
  test::write_text(*tmp / "y-bad.mid", "nor here");
  QString folder = QString::fromStdString(tmp->path());
  std::vector<test::SeenModal> boxes;
  auto seen = test::answer_modals(
      [&] { window->actions().open->trigger(); },
      [&](QWidget* modal) {
        if (qobject_cast<QFileDialog*>(modal))
          choose_in_open_dialog(modal, folder,
                                "\"z-bad.mid\" \"c.mid\" \"y-bad.mid\" \"a.mid\" \"b.mid\"");
      });
  QCOMPARE(texts(), (std::vector<std::string>{"a.mid", "b.mid", "c.mid"}));
  QCOMPARE(window->sound_list().state().directories, (std::vector<std::string>{tmp->path() + "/"}));
  // The files were scanned in the order they were chosen; the bad ones share one box.
  QCOMPARE(seen.size(), 2u);
  QCOMPARE(seen[1].title, QStringLiteral("Files not added"));
  QCOMPARE(seen[1].text, QStringLiteral("These were not added:\n\nz-bad.mid: Bad MIDI file!\n"
                                        "y-bad.mid: Bad MIDI file!"));

  // One file chosen: one row. The dialog starts where the last one ended, not in the working
  // folder.
  QString started_in;
  test::answer_modals([&] { window->actions().open->trigger(); },
                      [&](QWidget* modal) {
                        if (auto* dialog = qobject_cast<QFileDialog*>(modal))
                          started_in = dialog->directory().absolutePath();
                        choose_in_open_dialog(modal, folder, "d.mid");
                      });
  QCOMPARE(started_in, QDir(folder).absolutePath());
  QCOMPARE(texts(), (std::vector<std::string>{"a.mid", "b.mid", "c.mid", "d.mid"}));
}

void WindowFilesTest::cancelled_open_dialog_adds_nothing() {
  test::write_sound(*tmp / "a.mid", 1);
  auto seen = test::answer_modals([&] { window->actions().open->trigger(); });
  QCOMPARE(seen.size(), 1u);
  QCOMPARE(seen[0].class_name, QStringLiteral("QFileDialog"));
  QCOMPARE(window->list_widget().count(), 0);
}

void WindowFilesTest::dropped_files_and_folders_are_gathered() {
  test::write_sound(*tmp / "loose.mid", 3);
  std::string folder = tmp->make_folder("dropped kit");
  test::write_sound(folder + "/tom.mid", 8);
  test::write_sound(folder + "/ride.syx", 9);
  test::write_sound(tmp->make_folder("dropped kit/nested") + "/deep.mid", 1);
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(*tmp / "loose.mid")),
                QUrl::fromLocalFile(QString::fromStdString(folder))});
  QPoint where = window->list_widget().geometry().center();
  QDragEnterEvent enter(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(where), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &drop);
  QVERIFY(drop.isAccepted());
  QTRY_COMPARE(window->list_widget().count(), 3);
  QCOMPARE(texts(), (std::vector<std::string>{"loose.mid", "ride.syx", "tom.mid"}));
  QCOMPARE(window->sound_list().full_path(2), folder + "/tom.mid");

  QMimeData text_only;
  text_only.setText(QStringLiteral("just words"));
  QDragEnterEvent refused(where, Qt::CopyAction, &text_only, Qt::LeftButton, Qt::NoModifier);
  refused.setAccepted(false);
  QApplication::sendEvent(window.get(), &refused);
  QVERIFY(!refused.isAccepted());
}

void WindowFilesTest::bad_file_raises_exactly_one_box() {
  test::write_format1(*tmp / "Format One.mid");
  test::write_sound(*tmp / "fine.mid", 2);
  window->set_command_line({*tmp / "Format One.mid", *tmp / "fine.mid"});
  auto seen = test::answer_modals(
      [&] {
        window->post_command_line();
        QTRY_COMPARE(window->list_widget().count(), 1);
      },
      [&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QCOMPARE(box->parentWidget(), window.get());
        // Wide enough for a window manager to show the whole name in the caption.
        const QFont title = QApplication::font("QMdiSubWindowTitleBar");
        QVERIFY(box->width() > QFontMetrics(title).horizontalAdvance(box->windowTitle()) + 60);
        test::save_grab(box, "warning_box");
      });
  QCOMPARE(seen.size(), 1u);
  QCOMPARE(seen[0].text, QStringLiteral("Not format 0!"));
  QCOMPARE(seen[0].title, QStringLiteral("Format One.mid"));
  QCOMPARE(texts(), (std::vector<std::string>{"fine.mid"}));
}

void WindowFilesTest::about_dialog_shows_version_and_icon() {
  auto seen = test::answer_modals([&] { window->actions().about->trigger(); },
                                  [&](QWidget* modal) {
                                    QVERIFY(modal->isModal());
                                    check_centred(modal, window.get());
                                    QStringList lines;
                                    bool has_icon = false;
                                    for (QLabel* l : modal->findChildren<QLabel*>()) {
                                      lines << l->text();
                                      has_icon |= !l->pixmap().isNull();
                                    }
                                    QVERIFY(has_icon);
                                    QVERIFY(lines.contains(QStringLiteral("Version 1.10")));
                                    test::save_grab(modal, "about");
                                    auto* ok = test::find_control<QPushButton>(modal, 1);
                                    QVERIFY(ok);
                                    ok->click();
                                  });
  QCOMPARE(seen.size(), 1u);
  QCOMPARE(seen[0].title, QStringLiteral("About BriscaTool"));
  QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void WindowFilesTest::usage_dialog_shows_the_usage_text() {
  QVERIFY(window->usage_text().size() > 200);
  auto seen =
      test::answer_modals([&] { window->actions().usage->trigger(); },
                          [&](QWidget* modal) {
                            check_centred(modal, window.get());
                            auto* edit = test::find_control<QPlainTextEdit>(modal, 1008);
                            QVERIFY(edit);
                            QVERIFY(edit->isReadOnly());
                            QCOMPARE(edit->toPlainText(), QString::fromUtf8(window->usage_text()));
                            test::save_grab(modal, "usage");
                            test::find_control<QPushButton>(modal, 1)->click();
                          });
  QCOMPARE(seen.size(), 1u);
  QCOMPARE(seen[0].title, QStringLiteral("Usage"));
}

}  // namespace brisca

BRISCA_QTEST_MAIN(brisca::WindowFilesTest)
#include "test_window_files.moc"
