// The MIDI Setup and Audio Setup dialogs under the offscreen platform: lists filled from the
// tables with the current choice selected, OK saves only a changed choice and reopens, Cancel
// changes nothing. Grabs of both go to the screenshot folder.
#include "app/gui/setup_dialogs.h"

#include <QSpinBox>

#include "app/gui/pace_box.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QtTest>

#include "tests/app/window_test_support.h"

#include "tests/devices/fake_services.h"

namespace brisca {

class SetupDialogsTest : public QObject {
  Q_OBJECT

 private:
  test::NamedMidiService midi_;
  test::NamedAudioService audio_;
  test::MemoryStore store_;
  std::vector<std::string> log_;
  std::unique_ptr<test::LoggingHooks> midi_in_, midi_out_, audio_out_;
  std::unique_ptr<DeviceChoices> choices_;

  static QPushButton* button(QDialog& dialog, int id) {
    for (auto* b : dialog.findChildren<QPushButton*>())
      if (b->property("controlId").toInt() == id) return b;
    return nullptr;
  }
  static QStringList items(QComboBox* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->itemText(i);
    return out;
  }
  static QStringList labels(QDialog& dialog) {
    QStringList out;
    for (auto* l : dialog.findChildren<QLabel*>()) out << l->text();
    return out;
  }
  static void save_grab(QWidget& widget, const char* name) {
    const QString dir = QStringLiteral(BRISCA_SCREENSHOT_DIR);
    QVERIFY(widget.grab().save(dir + QLatin1Char('/') + QLatin1String(name)));
  }

 private slots:
  void init() {
    midi_.inputs = {"JACK: keys:out"};
    midi_.outputs = {"ALSA: Brisca Port 1", "JACK: synth:in"};
    audio_.inputs = {{"PulseAudio: Monitor of Speakers", false}};
    audio_.outputs = {{"PulseAudio: Speakers", true}, {"JACK: system", false}};
    store_ = {};
    store_.values = {{"MIDIout", "JACK: synth:in"},
                     {"AudioOut", "PulseAudio: Speakers (44.1 kHz, 16 bits, mono)"}};
    log_.clear();
    midi_in_ = std::make_unique<test::LoggingHooks>("midi-in", log_);
    midi_out_ = std::make_unique<test::LoggingHooks>("midi-out", log_);
    audio_out_ = std::make_unique<test::LoggingHooks>("audio-out", log_);
    choices_ = std::make_unique<DeviceChoices>(midi_, audio_, &store_);
    choices_->set_hooks(midi_in_.get(), midi_out_.get(), audio_out_.get());
    choices_->start_midi();
    choices_->start_audio();
    log_.clear();
  }

  void midiDialogListsTheTablesWithTheCurrentChoices() {
    SetupDialog dialog(SetupDialog::Kind::Midi, *choices_);
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("MIDI Setup"));
    QCOMPARE(dialog.size(), QSize(279, 276));  // the pace of the chosen output below the lists
    QVERIFY(labels(dialog).contains(QStringLiteral("MIDI In Devices")));
    QVERIFY(labels(dialog).contains(QStringLiteral("MIDI Out Devices")));
    QCOMPARE(dialog.in_list()->property("controlId").toInt(), 1000);
    QCOMPARE(dialog.out_list()->property("controlId").toInt(), 1002);
    QCOMPARE(items(dialog.in_list()), QStringList({"<no in device>", "JACK: keys:out"}));
    QCOMPARE(items(dialog.out_list()),
             QStringList({"<no out device>", "ALSA: Brisca Port 1", "JACK: synth:in"}));
    QCOMPARE(dialog.in_list()->currentIndex(), 0);
    QCOMPARE(dialog.out_list()->currentIndex(), 2);
    QCOMPARE(button(dialog, 1)->text(), QStringLiteral("OK"));
    QVERIFY(button(dialog, 1)->isDefault());
    QCOMPARE(button(dialog, 2)->text(), QStringLiteral("Cancel"));
    save_grab(dialog, "midi_setup.png");
  }

  // The pace follows the output chosen in the list; edits are kept per output while the dialog
  // is open, "Default" restores 200-byte chunks every 70 ms, and OK stores what changed.
  void midiDialogShowsAndRemembersThePaceOfTheChosenOutput() {
    store_.values["Pace/ALSA: Brisca Port 1"] = "chunk 64 interval 140 gap 500";
    SetupDialog dialog(SetupDialog::Kind::Midi, *choices_);
    dialog.show();
    PaceBox* pace = dialog.pace_box();
    QVERIFY(pace != nullptr);
    QCOMPARE(pace->title(), QStringLiteral("Down-load pace"));
    QVERIFY(pace->pace() == Pace{});  // JACK: synth:in has none remembered
    dialog.out_list()->setCurrentIndex(1);
    QVERIFY((pace->pace() == Pace{64, 140, 500}));
    QCOMPARE(pace->rate_label()->text(), QStringLiteral("457 bytes/s"));
    save_grab(dialog, "midi_setup_pace.png");
    pace->interval_box()->setValue(50);  // faster is not offered
    QCOMPARE(pace->interval_box()->value(), 70);
    QTest::mouseClick(pace->default_button(), Qt::LeftButton);
    QVERIFY(pace->pace() == Pace{});
    QCOMPARE(pace->rate_label()->text(), QStringLiteral("2 857 bytes/s"));
    dialog.out_list()->setCurrentIndex(2);
    pace->chunk_box()->setValue(100);
    dialog.out_list()->setCurrentIndex(0);
    QVERIFY(!pace->isEnabled());
    dialog.out_list()->setCurrentIndex(1);
    QVERIFY(pace->pace() == Pace{});  // the edit stays while the dialog is open
    QCOMPARE(store_.writes, 0);
    QTest::mouseClick(button(dialog, 1), Qt::LeftButton);
    QCOMPARE(store_.values["Pace/ALSA: Brisca Port 1"], std::string("chunk 200 interval 70 gap 0"));
    QCOMPARE(store_.values["Pace/JACK: synth:in"], std::string("chunk 100 interval 70 gap 0"));
    QCOMPARE(choices_->current().midi_out, 1);
  }

  void audioDialogListsTheTablesWithTheirSuffixes() {
    SetupDialog dialog(SetupDialog::Kind::Audio, *choices_);
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Audio Setup"));
    QCOMPARE(dialog.size(), QSize(335, 154));
    QVERIFY(labels(dialog).contains(QStringLiteral("Audio In Devices")));
    QVERIFY(labels(dialog).contains(QStringLiteral("Audio Out Devices")));
    QCOMPARE(dialog.in_list()->property("controlId").toInt(), 1004);
    QCOMPARE(dialog.out_list()->property("controlId").toInt(), 1005);
    QCOMPARE(items(dialog.in_list()),
             QStringList({"<no in device>", "PulseAudio: Monitor of Speakers (not used)"}));
    QCOMPARE(items(dialog.out_list()),
             QStringList({"<no out device>", "PulseAudio: Speakers (44.1 kHz, 16 bits, mono)",
                          "JACK: system (incompatible format)"}));
    QCOMPARE(dialog.out_list()->currentIndex(), 1);
    save_grab(dialog, "audio_setup.png");
  }

  void okWithTheSameChoicesReopensWithoutSaving() {
    SetupDialog dialog(SetupDialog::Kind::Midi, *choices_);
    dialog.show();
    QTest::mouseClick(button(dialog, 1), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(store_.writes, 0);
    QCOMPARE(log_,
             (std::vector<std::string>{"open midi-in 0", "close midi-out", "open midi-out 2"}));
  }

  void okSavesOnlyTheChangedChoice() {
    SetupDialog dialog(SetupDialog::Kind::Audio, *choices_);
    dialog.show();
    dialog.out_list()->setCurrentIndex(2);  // an incompatible device can still be chosen
    QCOMPARE(dialog.pending_out(), 2);
    QTest::mouseClick(button(dialog, 1), Qt::LeftButton);
    QCOMPARE(store_.writes, 1);
    QCOMPARE(store_.values["AudioOut"], std::string("JACK: system (incompatible format)"));
    QCOMPARE(store_.values.count("AudioIn"), std::size_t{0});
    QCOMPARE(choices_->current().audio_out, 2);
    QCOMPARE(log_, (std::vector<std::string>{"close audio-out", "open audio-out 2"}));
  }

  void cancelChangesNothing() {
    SetupDialog dialog(SetupDialog::Kind::Midi, *choices_);
    dialog.show();
    dialog.in_list()->setCurrentIndex(1);
    dialog.out_list()->setCurrentIndex(0);
    QTest::mouseClick(button(dialog, 2), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(store_.writes, 0);
    QVERIFY(log_.empty());
    QCOMPARE(choices_->current().midi_out, 2);
  }

  void menuHookRunsTheDialogModallyAndTellsAfterOk() {
    int changed = 0;
    DialogSetupHooks hooks(*choices_, [&] { ++changed; });
    for (const bool ok : {false, true}) {
      QTimer::singleShot(0, [ok] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        auto guard = qScopeGuard([dialog] {
          if (dialog) dialog->reject();
        });
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Audio Setup"));
        if (ok) {
          guard.dismiss();
          button(*dialog, 1)->click();
        }
      });
      hooks.audio_setup(nullptr);
    }
    QCOMPARE(changed, 1);
  }

  void menuHookOffersTheDevicesPresentNow() {
    int changed = 0;
    DialogSetupHooks hooks(*choices_, [&] { ++changed; });
    midi_.outputs = {"JACK: module:in", "ALSA: Brisca Port 1", "JACK: synth:in"};
    QTimer::singleShot(0, [] {
      auto* dialog = dynamic_cast<SetupDialog*>(QApplication::activeModalWidget());
      auto guard = qScopeGuard([dialog] {
        if (dialog) dialog->reject();
      });
      QVERIFY(dialog);
      QCOMPARE(items(dialog->out_list()), QStringList({"<no out device>", "JACK: module:in",
                                                       "ALSA: Brisca Port 1", "JACK: synth:in"}));
      QCOMPARE(dialog->out_list()->currentIndex(), 3);  // the open device, at its new place
    });
    hooks.midi_setup(nullptr);
    QCOMPARE(choices_->current().midi_out, 3);
    QCOMPARE(changed, 1);  // cancelled, but the window learns the moved choice
    QVERIFY(log_.empty());
  }
};

}  // namespace brisca

BRISCA_QTEST_REGISTER(brisca::SetupDialogsTest, true)
#include "setup_dialogs_test.moc"
