// Importing audio from the window: the Import Audio menu command with its Open dialog, the
// progress dialog and the box of failures; the Import Folder choice; dropped audio files.
#include <sndfile.h>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <cmath>
#include <filesystem>

#include "app/devices/qt_settings_store.h"
#include "app/gui/audio_import.h"
#include "app/gui/sound_list_widget.h"
#include "soundfile/block_count.h"
#include "tests/app/window_test_support.h"
#include "tests/support/sound_files.h"

namespace brisca {

class WindowImportTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void import_command_adds_rows_and_lists_failures_in_one_box();
  void dropped_audio_is_imported_into_the_chosen_folder();

 private:
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (int i = 0; i < window->list_widget().count(); ++i)
      out.push_back(window->list_widget().text(i));
    return out;
  }
  std::string write_wav(const std::string& name, int format, double seconds) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 1;
    info.format = format;
    const std::string path = *tmp / name;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    std::vector<float> s(static_cast<std::size_t>(seconds * 44100));
    for (std::size_t i = 0; i < s.size(); ++i) {
      const double t = static_cast<double>(i);
      s[i] = static_cast<float>(0.7 * std::sin(t * 0.05) * std::exp(-t / 10000.0));
    }
    sf_writef_float(f, s.data(), static_cast<sf_count_t>(s.size()));
    sf_close(f);
    return path;
  }
  // Waits for the import to end, answering (and grabbing) the box it may raise.
  QString finish_import(const char* grab_name) {
    QString box_text;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box == nullptr || !box->isVisible()) continue;
        box_text = box->windowTitle() + "|" + box->text();
        test::save_grab(box, grab_name);
        box->button(QMessageBox::Ok)->click();
      }
    });
    QSignalSpy done(&window->audio_import(), &AudioImport::finished);
    poll.start();
    if (!done.wait(60000)) qWarning("the import did not finish");
    return box_text;
  }

  std::unique_ptr<test::TempDir> tmp;
  std::unique_ptr<QtSettingsStore> store;
  std::unique_ptr<MainWindow> window;
};

void WindowImportTest::init() {
  tmp = std::make_unique<test::TempDir>();
  store = std::make_unique<QtSettingsStore>(QString::fromStdString(*tmp / "settings.ini"));
  window = std::make_unique<MainWindow>();
  window->set_settings_store(store.get());
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void WindowImportTest::cleanup() {
  window.reset();
  store.reset();
  tmp.reset();
}

void WindowImportTest::import_command_adds_rows_and_lists_failures_in_one_box() {
  write_wav("Kick Drum.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0.6);
  write_wav("snare.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 0.4);
  test::write_text(*tmp / "notes.wav", "not audio at all");
  test::write_text(*tmp / "snare.mid", "in the way");
  test::answer_modals([&] { window->command(40009); },
                      [&](QWidget* modal) {
                        auto* dialog = qobject_cast<QFileDialog*>(modal);
                        QVERIFY(dialog);
                        QCOMPARE(dialog->windowTitle(), QStringLiteral("Import Audio"));
                        const QString audio = dialog->nameFilters().value(0);
                        QVERIFY2(audio.startsWith("Audio Files (") && audio.contains("*.wav") &&
                                     audio.contains("*.flac") && audio.contains("*.ogg") &&
                                     audio.contains("*.aiff"),
                                 qPrintable(audio));
                        dialog->setDirectory(QString::fromStdString(tmp->path()));
                        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
                        QVERIFY(name);
                        name->setText("\"Kick Drum.wav\" \"notes.wav\" \"snare.flac\"");
                        auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
                        QVERIFY(buttons);
                        buttons->button(QDialogButtonBox::Open)->click();
                      });
  // Several files: a progress dialog over the window while the encoding runs elsewhere.
  QPointer<QProgressDialog> progress = window->findChild<QProgressDialog*>();
  QVERIFY(progress);
  QVERIFY(progress->isVisible());
  QCOMPARE(progress->maximum(), 3);
  QVERIFY(progress->labelText().contains("Kick Drum.wav"));
  test::save_grab(progress, "import_progress");

  const QString box = finish_import("import_failures");
  QTRY_VERIFY(progress.isNull());
  QCOMPARE(texts(), (std::vector<std::string>{"Kick Drum.mid"}));
  QVERIFY2(box.startsWith("Import Audio|These files were not imported:\n\nnotes.wav: not an audio "
                          "file") &&
               box.contains("\nsnare.flac: " + QString::fromStdString(*tmp / "snare.mid") +
                            " exists already"),
           qPrintable(box));
  auto track = TrackReader::open(*tmp / "Kick Drum.mid");
  QVERIFY(track && track->ok());
  const BlockCount count = count_blocks(*track);
  QCOMPARE(count.name, std::string("Kick Drum"));
  QCOMPARE(count.blocks, 1 + 31);  // 0.6 s: 26 460 samples
  window->list_widget().setCurrentRow(0);
  test::save_grab(window.get(), "import_rows");
}

void WindowImportTest::dropped_audio_is_imported_into_the_chosen_folder() {
  const std::string sounds = tmp->make_folder("sounds");
  test::answer_modals([&] { window->command(40010); },
                      [&](QWidget* modal) {
                        QCOMPARE(modal->windowTitle(), QStringLiteral("Import Folder"));
                        for (QRadioButton* r : modal->findChildren<QRadioButton*>())
                          if (r->text().contains("this folder")) r->setChecked(true);
                        auto* path = modal->findChild<QLineEdit*>("folderPath");
                        QVERIFY(path);
                        path->setText(QString::fromStdString(sounds));
                        test::save_grab(modal, "import_folder");
                        auto* box = modal->findChild<QDialogButtonBox*>();
                        QVERIFY(box->button(QDialogButtonBox::Ok)->isEnabled());
                        box->button(QDialogButtonBox::Ok)->click();
                      });
  QCOMPARE(store->read("ImportFolder").value_or(""), sounds);

  const std::string audio = write_wav("hat.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0.2);
  const std::string sound = test::write_sound(*tmp / "ride.mid", 9);
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(audio)),
                QUrl::fromLocalFile(QString::fromStdString(sound))});
  QPoint where = window->list_widget().geometry().center();
  QDragEnterEvent enter(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &enter);
  QDropEvent drop(QPointF(where), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &drop);
  QVERIFY(drop.isAccepted());
  QCOMPARE(finish_import("unexpected_box"), QString());
  QCOMPARE(texts(), (std::vector<std::string>{"hat.mid", "ride.mid"}));
  QCOMPARE(window->sound_list().full_path(0), sounds + "/hat.mid");
  QVERIFY(!std::filesystem::exists(*tmp / "hat.mid"));
}

}  // namespace brisca

BRISCA_QTEST_MAIN(brisca::WindowImportTest)
#include "test_window_import.moc"
