// Importing audio from the window through the Import Audio dialog: rows with their settings and
// figures (worked out while the dialog stays usable), settings for several rows at once, an
// unreadable row saying why, A/B listening that carries on at the same place, Import writing
// into the import folder (asking before it replaces anything) with one summary line and one box
// of failures, and Cancel writing nothing. Import Folder... and dropped audio open the dialog.
#include <sndfile.h>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <cmath>
#include <filesystem>

#include "app/devices/qt_settings_store.h"
#include "app/gui/import_dialog.h"
#include "app/gui/sound_list_widget.h"
#include "soundfile/block_count.h"
#include "tests/app/window_test_support.h"
#include "tests/support/sound_files.h"

namespace brisca {

// A preview output that records what it is asked to play and says how far it has got.
struct AbPreview : test::RecordingPreview {
  struct Play {
    std::shared_ptr<const std::vector<std::int16_t>> samples;
    std::size_t from;
  };
  std::vector<Play> plays;
  std::optional<std::uint64_t> position;
  int stops = 0;
  void play_samples(std::shared_ptr<const std::vector<std::int16_t>> samples,
                    std::size_t from) override {
    plays.push_back({std::move(samples), from});
    position = 0;
  }
  std::optional<std::uint64_t> played_samples() override { return position; }
  void stop_preview() override {
    ++stops;
    position.reset();
  }
};

class WindowImportTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void dialog_sets_rows_plays_and_writes_what_was_heard();
  void cancel_writes_nothing_and_folders_and_drops_open_the_dialog();

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
  static int row_of(ImportDialog* dialog, const QString& audio) {
    for (int r = 0; r < dialog->rows(); ++r)
      if (dialog->table()->item(r, ImportDialog::kAudio)->text() == audio) return r;
    return -1;
  }
  static QString cell(ImportDialog* dialog, int row, int column) {
    return dialog->table()->item(row, column)->text();
  }

  std::unique_ptr<test::TempDir> tmp;
  std::unique_ptr<QtSettingsStore> store;
  std::unique_ptr<MainWindow> window;
  AbPreview preview;
};

void WindowImportTest::init() {
  tmp = std::make_unique<test::TempDir>();
  store = std::make_unique<QtSettingsStore>(QString::fromStdString(*tmp / "settings.ini"));
  preview = AbPreview{};
  window = std::make_unique<MainWindow>();
  window->set_settings_store(store.get());
  WindowHooks hooks;
  hooks.preview = &preview;
  window->set_hooks(hooks);
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void WindowImportTest::cleanup() {
  window.reset();
  store.reset();
  tmp.reset();
}

void WindowImportTest::dialog_sets_rows_plays_and_writes_what_was_heard() {
  window->set_current_devices({0, 0, 0, 1});
  const std::string long_name = "Snare Rimshot Hardest Layer 3 from the Vintage Kit.wav";
  write_wav("Kick Drum.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0.6);
  write_wav(long_name, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 0.9);
  write_wav("snare.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 0.4);
  test::write_text(*tmp / "notes.wav", "not audio at all");
  test::write_text(*tmp / "snare.mid", "in the way");
  test::answer_modals(
      [&] { window->actions().import_audio->trigger(); },
      [&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Import Audio"));
        dialog->setDirectory(QString::fromStdString(tmp->path()));
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        QVERIFY(name);
        name->setText(QString::fromStdString("\"Kick Drum.wav\" \"notes.wav\" \"" + long_name +
                                             "\" \"snare.flac\""));
        dialog->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Open)->click();
      });
  ImportDialog* dialog = window->import_dialog();
  QVERIFY(dialog);
  QVERIFY(dialog->isVisible());
  QCOMPARE(dialog->windowTitle(), QStringLiteral("Import Audio"));
  QCOMPARE(dialog->rows(), 4);
  // The figures are worked out elsewhere: the dialog shows "..." meanwhile and answers at once.
  QTRY_VERIFY_WITH_TIMEOUT(dialog->settled(), 30000);
  const int kick = row_of(dialog, "Kick Drum.wav"), notes = row_of(dialog, "notes.wav");
  const int longest = row_of(dialog, QString::fromStdString(long_name));
  QVERIFY(kick >= 0 && notes >= 0 && longest >= 0);
  QCOMPARE(cell(dialog, kick, ImportDialog::kName), QStringLiteral("Kick Drum"));
  QCOMPARE(cell(dialog, kick, ImportDialog::kType), QStringLiteral("DRUM"));
  QCOMPARE(cell(dialog, kick, ImportDialog::kRate), QStringLiteral("44 100 Hz"));
  QCOMPARE(cell(dialog, kick, ImportDialog::kTrim), QStringLiteral("on"));
  QCOMPARE(cell(dialog, kick, ImportDialog::kLevel), QStringLiteral("as is"));
  QCOMPARE(cell(dialog, kick, ImportDialog::kBlocks), QStringLiteral("32"));  // 0.6 s: 30.1 + 1
  QVERIFY(cell(dialog, kick, ImportDialog::kSnr).endsWith(" dB"));
  // The name is shown as it will be written: 31 characters.
  QCOMPARE(cell(dialog, longest, ImportDialog::kName),
           QString::fromStdString(long_name.substr(0, 31)));
  // The unreadable row says why, across its figures.
  QCOMPARE(dialog->table()->columnSpan(notes, ImportDialog::kBlocks), 3);
  QVERIFY2(cell(dialog, notes, ImportDialog::kBlocks).contains("not an audio file"),
           qPrintable(cell(dialog, notes, ImportDialog::kBlocks)));

  // A name typed in the table; rate and loudness for two selected rows at once.
  dialog->table()
      ->item(kick, ImportDialog::kName)
      ->setText("Kick \u00e9 long name that goes past the limit");
  QCOMPARE(cell(dialog, kick, ImportDialog::kName),
           QStringLiteral("Kick e long name that goes past"));
  dialog->table()->clearSelection();
  dialog->table()->setCurrentCell(kick, 0);
  dialog->table()->selectRow(longest);
  dialog->table()->selectionModel()->select(
      dialog->table()->model()->index(kick, 0),
      QItemSelectionModel::Select | QItemSelectionModel::Rows);
  auto* rate = dialog->findChild<QComboBox*>("rate");
  rate->setCurrentIndex(rate->findText("22 050 Hz"));
  auto* level = dialog->findChild<QComboBox*>("level");
  level->setCurrentIndex(level->findText("loudness"));
  for (int r : {kick, longest}) {
    QCOMPARE(cell(dialog, r, ImportDialog::kRate), QStringLiteral("22 050 Hz"));
    QCOMPARE(cell(dialog, r, ImportDialog::kLevel), QStringLiteral("-16 LUFS"));
  }
  QCOMPARE(cell(dialog, notes, ImportDialog::kRate), QStringLiteral("44 100 Hz"));
  QTRY_VERIFY_WITH_TIMEOUT(dialog->settled(), 30000);
  QCOMPARE(cell(dialog, kick, ImportDialog::kBlocks), QStringLiteral("17"));  // half the samples
  dialog->table()->setCurrentCell(kick, ImportDialog::kName);
  test::save_grab(dialog, "import_dialog");
  // Nothing is cut: each column is as wide as its widest text (a long audio file name wraps onto
  // lines of its row), and the dialog shows every column.
  QTableWidget* table = dialog->table();
  int columns = 0;
  for (int c = 0; c < ImportDialog::kColumns; ++c) {
    columns += table->columnWidth(c);
    for (int r = 0; r < dialog->rows(); ++r) {
      if (table->columnSpan(r, c) > 1) continue;
      const QFontMetrics metrics = table->fontMetrics();
      const QString text = cell(dialog, r, c);
      const bool fits = c == ImportDialog::kAudio
                            ? metrics.boundingRect(QRect(0, 0, table->columnWidth(c) - 6, 1000),
                                                   Qt::TextWordWrap, text)
                                      .height() <= table->rowHeight(r)
                            : metrics.horizontalAdvance(text) <= table->columnWidth(c) - 4;
      QVERIFY2(fits, qPrintable(text));
    }
  }
  QVERIFY2(columns <= table->viewport()->width(), qPrintable(QString::number(columns)));
  // A/B: each switch carries on where the other had got to.
  auto* original = dialog->findChild<QPushButton*>("playOriginal");
  auto* result = dialog->findChild<QPushButton*>("playResult");
  QVERIFY(original->isEnabled() && result->isEnabled());
  original->click();
  preview.position = 5000;
  result->click();
  preview.position = 3000;
  original->click();
  QCOMPARE(preview.plays.size(), std::size_t{3});
  QCOMPARE(preview.plays[0].samples, dialog->original(kick));
  QCOMPARE(preview.plays[1].samples, dialog->result(kick));
  QCOMPARE(preview.plays[0].from, std::size_t{0});
  QCOMPARE(preview.plays[1].from, std::size_t{5000});
  QCOMPARE(preview.plays[2].from, std::size_t{8000});
  QCOMPARE(dialog->original(kick)->size(), std::size_t{26460});
  const auto heard = dialog->result(kick);

  // Import: snare.mid is in the way and is kept (No); one box of failures; one summary line.
  std::vector<test::SeenModal> seen = test::answer_modals(
      [&] { dialog->findChild<QPushButton*>("import")->click(); },
      [&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        test::save_grab(box, box->button(QMessageBox::No) ? "import_replace" : "import_failures");
        (box->button(QMessageBox::No) ? box->button(QMessageBox::No) : box->button(QMessageBox::Ok))
            ->click();
      });
  QCOMPARE(seen.size(), std::size_t{2});
  QVERIFY2(seen[0].text.contains("snare.mid"), qPrintable(seen[0].text));
  QVERIFY2(seen[1].text.startsWith("These files were not imported:\n\n") &&
               seen[1].text.contains("notes.wav: not an audio file") &&
               seen[1].text.contains("snare.flac: " + QString::fromStdString(*tmp / "snare.mid") +
                                     " exists already"),
           qPrintable(seen[1].text));
  QTRY_VERIFY(window->import_dialog() == nullptr);
  const QString summary = window->status_text();
  const QString folder = QString::fromStdString(std::filesystem::path(tmp->path()).filename());
  QVERIFY2(summary.startsWith("2 sounds made in /\u2026/" + folder + ": ") &&
               summary.contains(" blocks, SNR ") && summary.endsWith(" dB"),
           qPrintable(summary));
  // Too long for the status line at the design's size, the line gives up the middle of its folder,
  // not its figures, and shows whole as the tooltip (so the line takes the mouse).
  QCOMPARE(window->centralWidget()->width(), kClientWidth);
  auto* status = window->findChild<QLabel*>(QStringLiteral("Status"));
  const QString shown = status->text(), figures = summary.mid(summary.indexOf(": "));
  const int room = status->contentsRect().width() - status->indent();
  QVERIFY2(status->fontMetrics().horizontalAdvance(summary) > room, qPrintable(summary));
  QVERIFY2(shown.startsWith("2 sounds made in /") && shown.endsWith(figures) &&
               status->fontMetrics().horizontalAdvance(shown) <= room,
           qPrintable(shown));
  QCOMPARE(status->toolTip(), summary);
  QVERIFY(!status->testAttribute(Qt::WA_TransparentForMouseEvents));
  QCOMPARE(std::filesystem::file_size(*tmp / "snare.mid"), std::uintmax_t{10});  // kept
  QCOMPARE(texts().size(), std::size_t{2});
  auto track = TrackReader::open(*tmp / "Kick Drum.mid");
  QVERIFY(track.ok());
  const BlockCount count = count_blocks(*track);
  QCOMPARE(count.name, std::string("Kick e long name that goes past"));
  QCOMPARE(count.blocks, 17);
  QVERIFY(heard->size() > 20000);
  test::save_grab(window.get(), "import_rows");
}

void WindowImportTest::cancel_writes_nothing_and_folders_and_drops_open_the_dialog() {
  const std::string kit = tmp->make_folder("kit");
  const std::string sounds = tmp->make_folder("sounds");
  store->write("ImportFolder", sounds);
  std::filesystem::rename(write_wav("hat.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0.2),
                          kit + "/hat.wav");
  std::filesystem::rename(write_wav("tom.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0.3),
                          kit + "/tom.wav");
  test::write_text(kit + "/readme.txt", "not audio");
  // Import Folder...: the audio files of the folder, without an audio output to play them on.
  test::answer_modals(
      [&] { window->actions().import_folder->trigger(); },
      [&](QWidget* modal) {
        auto* chooser = qobject_cast<QFileDialog*>(modal);
        QVERIFY(chooser);
        chooser->setDirectory(QString::fromStdString(kit));
        chooser->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(kit));
        QMetaObject::invokeMethod(chooser, "accept");
      });
  ImportDialog* dialog = window->import_dialog();
  QVERIFY(dialog);
  QCOMPARE(dialog->rows(), 2);
  QCOMPARE(dialog->findChild<QLabel*>("importFolder")->text(), QString::fromStdString(sounds));
  auto* original = dialog->findChild<QPushButton*>("playOriginal");
  QCOMPARE(original->text(), QStringLiteral("Play Original: no audio output"));
  QVERIFY(!original->isEnabled());
  QTRY_VERIFY_WITH_TIMEOUT(dialog->settled(), 30000);
  dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
  QTRY_VERIFY(window->import_dialog() == nullptr);
  QVERIFY(std::filesystem::is_empty(sounds));
  QVERIFY(texts().empty());

  // Dropped audio (with a sound file beside it) opens the dialog; Import writes into the folder.
  const std::string sound = test::write_sound(*tmp / "ride.mid", 9);
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(kit + "/hat.wav")),
                QUrl::fromLocalFile(QString::fromStdString(sound))});
  QPoint where = window->list_widget().geometry().center();
  QDragEnterEvent enter(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &enter);
  QDropEvent drop(QPointF(where), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &drop);
  QVERIFY(drop.isAccepted());
  QTRY_VERIFY(window->import_dialog() != nullptr);
  dialog = window->import_dialog();
  QCOMPARE(dialog->rows(), 1);
  QTRY_VERIFY_WITH_TIMEOUT(dialog->findChild<QPushButton*>("import")->isEnabled(), 30000);
  dialog->findChild<QPushButton*>("import")->click();
  QTRY_VERIFY(window->import_dialog() == nullptr);
  QCOMPARE(texts(), (std::vector<std::string>{"hat.mid", "ride.mid"}));
  QCOMPARE(window->sound_list().full_path(0), sounds + "/hat.mid");
  QVERIFY(window->status_text().startsWith("1 sound made in /\u2026/sounds: "));
}

}  // namespace brisca

BRISCA_QTEST_MAIN(brisca::WindowImportTest)
#include "test_window_import.moc"
