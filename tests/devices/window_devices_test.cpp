// The window with the preview player and the setup dialogs behind its hooks: a click plays the
// row on the wave device and buffer-done reports refill it through the window's clock; the
// Audio menu's dialog reopens the device; closing the window closes it.
#include <QComboBox>
#include <QPushButton>
#include <random>
#include <thread>

#include "app/devices/device_choices.h"
#include "app/devices/device_follower.h"
#include "app/devices/preview_hooks.h"
#include "app/gui/setup_dialogs.h"
#include "app/gui/sound_list_widget.h"
#include "soundlist/gather.h"
#include "tests/app/window_test_support.h"
#include "tests/devices/fake_services.h"
#include "tests/preview/block_maker.h"
#include "tests/preview/fake_wave_out.h"
#include "tests/support/sound_files.h"

namespace brisca {

class WindowDevicesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    log = {};
    store = {};
    store.values["AudioOut"] = "Out (44.1 kHz, 16 bits, mono)";
    tmp = std::make_unique<test::TempDir>();
    std::mt19937 rng(1);
    for (const char* name : {"a.mid", "b.mid"}) {
      std::vector<Bytes> blocks;
      for (int i = 1; i <= 60; ++i)
        blocks.push_back(make_block(static_cast<std::uint16_t>(i), test::random_block(rng, 0)));
      write_file(*tmp / name, test::sound_file(blocks, 60));
    }
    window = std::make_unique<MainWindow>();
    player = std::make_unique<PreviewPlayer>(audio, window->clock());
    preview = std::make_unique<PlayerPreviewHooks>(*player);
    choices = std::make_unique<DeviceChoices>(midi, audio_names, &store);
    choices->set_hooks(nullptr, nullptr, preview.get());
    choices->start_midi();
    choices->start_audio();
    window->set_current_devices({0, 0, 0, choices->current().audio_out});
    setup = std::make_unique<DialogSetupHooks>(*choices, [this] {
      window->set_current_devices({0, 0, 0, choices->current().audio_out});
    });
    window->set_hooks({preview.get(), nullptr, nullptr, setup.get()});
    add_arguments(window->sound_list(), {tmp->path()});
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  }

  void cleanup() {
    window.reset();
    setup.reset();
    preview.reset();
    player.reset();
  }

  void click_plays_the_row_and_reports_refill_on_the_window_thread() {
    QCOMPARE(log.opened_device, 0);  // the remembered "Out" is entry 1
    SoundListWidget& list = window->list_widget();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.row_rect(1).center());
    QCOMPARE(log.written.size(), std::size_t{2});
    // The device finishes a buffer on a thread of its own; the report is posted onto the
    // window's clock and the window's thread refills.
    std::thread([this] { log.finish_one(); }).join();
    QTRY_COMPARE(log.written.size(), std::size_t{3});
    // "Listen" plays the current row again from its start.
    const auto first = log.written[0];
    QTest::mouseClick(test::find_control<QPushButton>(window->centralWidget(), 105),
                      Qt::LeftButton);
    QCOMPARE(log.written.size(), std::size_t{5});
    QCOMPARE(log.written[3], first);
  }

  // A listed file whose headers went bad since: the click plays nothing, and the window says
  // so in a warning box captioned with the file's name.
  void a_file_gone_bad_is_named_in_a_warning_box_and_plays_nothing() {
    write_file(*tmp / "a.mid", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0});
    SoundListWidget& list = window->list_widget();
    const auto seen = test::answer_modals(
        [&] { QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.row_rect(0).center()); });
    QCOMPARE(seen.size(), std::size_t{1});
    QCOMPARE(seen[0].text, QStringLiteral("Bad MIDI file!"));
    QCOMPARE(seen[0].title, QStringLiteral("a.mid"));
    QVERIFY(log.written.empty());
  }

  void audio_menu_reopens_the_chosen_device_and_closing_the_window_closes_it() {
    test::answer_modals([this] { window->actions().audio_setup->trigger(); },
                        [](QWidget* modal) {
                          auto* out = test::find_control<QComboBox>(modal, kAudioOutListId);
                          QVERIFY(out);
                          out->setCurrentIndex(2);
                          test::find_control<QPushButton>(modal, 1)->click();
                        });
    QCOMPARE(log.closes, 1);  // the first device
    QCOMPARE(log.opened_device, 1);
    QCOMPARE(store.values["AudioOut"], std::string("Other (44.1 kHz, 16 bits, mono)"));
    window->close();
    QCOMPARE(log.closes, 2);
  }

  // A chosen MIDI output that goes is closed, kept as the choice and told on the status line; an
  // open MIDI Setup shows it as not connected and gains the ports that come, and when a port of
  // its name is back it is opened again and chosen in the dialog, and the window sends to it.
  void an_unplugged_output_is_told_and_reopened_by_name_when_it_returns() {
    opened.clear();
    midi.inputs = {"JACK: keys:out"};
    midi.outputs = {"JACK: a:in", "JACK: synth:in"};
    store.values["MIDIin"] = "JACK: keys:out";
    store.values["MIDIout"] = "JACK: synth:in";
    choices->set_hooks(&midi_in_hooks, &midi_out_hooks, preview.get());
    choices->start_midi();
    auto take_devices = [this] {
      const DeviceIndices& c = choices->current();
      window->set_current_devices({c.midi_in, c.midi_out, c.audio_in, c.audio_out});
      window->set_unplugged({choices->gone().midi_out, choices->gone().audio_out});
    };
    take_devices();
    setup = std::make_unique<DialogSetupHooks>(*choices, take_devices);
    window->set_hooks({preview.get(), &download, nullptr, setup.get()});
    DeviceFollower::Ports ports;
    ports.status = [this](const std::string& text, bool stays) {
      window->show_status(text, stays);
    };
    ports.relisted = [this] { setup->relisted(); };
    window->follow_devices(std::make_unique<DeviceFollower>(*choices, midi, audio_names,
                                                            window->clock(), std::move(ports)));
    QVERIFY(midi.hand.watcher != nullptr);
    QCOMPARE(opened, (std::vector<std::string>{"open in 1", "open out 2"}));

    opened.clear();
    midi.outputs = {"JACK: a:in"};
    midi.tell({DeviceChange::Removed, DeviceKind::MidiOut, "JACK: synth:in"});
    QTRY_COMPARE(window->status_text(), QStringLiteral("MIDI out \"JACK: synth:in\" unplugged"));
    QCOMPARE(opened, (std::vector<std::string>{"close out"}));
    QCOMPARE(window->current_devices().midi_out, 0);
    QCOMPARE(window->current_devices().midi_in, 1);  // the input is still there
    window->show_status("something else");
    window->actions().send->trigger();  // says which output is missing
    QCOMPARE(window->status_text(), QStringLiteral("MIDI out \"JACK: synth:in\" unplugged"));
    QCOMPARE(download.sends, 1);

    bool checked = false;
    test::answer_modals([this] { window->actions().midi_setup->trigger(); },
                        [&](QWidget* modal) {
                          auto* list = test::find_control<QComboBox>(modal, kMidiOutListId);
                          QVERIFY(list);
                          QCOMPARE(list->currentText(),
                                   QStringLiteral("JACK: synth:in (not connected)"));
                          test::save_grab(modal, "midi_setup_unplugged");
                          midi.outputs = {"JACK: b:in", "JACK: a:in", "JACK: synth:in"};
                          midi.tell({DeviceChange::Added, DeviceKind::MidiOut, "JACK: b:in"});
                          midi.tell({DeviceChange::Added, DeviceKind::MidiOut, "JACK: synth:in"});
                          QTRY_COMPARE(list->count(), 4);
                          QCOMPARE(list->itemText(1), QStringLiteral("JACK: b:in"));
                          QCOMPARE(list->currentText(), QStringLiteral("JACK: synth:in"));
                          QCOMPARE(opened, (std::vector<std::string>{"close out", "open out 3"}));
                          checked = true;
                          test::find_control<QPushButton>(modal, 2)->click();  // Cancel
                        });
    QVERIFY(checked);
    QCOMPARE(window->current_devices().midi_out, 3);
    QCOMPARE(window->status_text(), QStringLiteral("MIDI out \"JACK: synth:in\" reconnected"));
    window->actions().send->trigger();  // straight to the output: no word of a missing one
    QCOMPARE(download.sends, 2);
    QCOMPARE(window->status_text(), QStringLiteral("MIDI out \"JACK: synth:in\" reconnected"));
    QCOMPARE(store.values["MIDIout"], std::string("JACK: synth:in"));
    window->close();
    QVERIFY(midi.hand.watcher == nullptr);  // the window stopped watching as it closed
  }

  // The audio output goes while a preview plays: the preview stops with its device closed, the
  // status line names the output and the file, and the window goes on: another row plays
  // nothing and says which output is missing; once the output is back a row plays again.
  void an_audio_output_gone_mid_preview_stops_it_and_names_the_file() {
    auto take_devices = [this] {
      window->set_current_devices({0, 0, 0, choices->current().audio_out});
      window->set_unplugged({{}, device_name_of(choices->gone().audio_out)});
    };
    setup = std::make_unique<DialogSetupHooks>(*choices, take_devices);
    window->set_hooks({preview.get(), nullptr, nullptr, setup.get()});
    DeviceFollower::Ports ports;
    ports.status = [this](const std::string& text, bool stays) {
      window->show_status(text, stays);
    };
    ports.relisted = [this] { setup->relisted(); };
    ports.playing = [this] { return preview->playing(); };
    window->follow_devices(std::make_unique<DeviceFollower>(*choices, midi, audio_names,
                                                            window->clock(), std::move(ports)));
    QVERIFY(audio_names.hand.watcher != nullptr);
    SoundListWidget& list = window->list_widget();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.row_rect(0).center());
    QCOMPARE(log.written.size(), std::size_t{2});
    QVERIFY(player->busy());

    audio_names.outputs = {{"Other", true}};
    audio_names.hand.tell({DeviceChange::Removed, DeviceKind::AudioOut, "Out"});
    QTRY_COMPARE(window->status_text(),
                 QStringLiteral("Audio out \"Out\" was unplugged while playing a.mid"));
    QCOMPARE(log.closes, 1);
    QVERIFY(!player->busy());
    QCOMPARE(window->current_devices().audio_out, 0);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.row_rect(1).center());
    QCOMPARE(window->status_text(), QStringLiteral("Audio out \"Out\" unplugged"));
    QCOMPARE(log.written.size(), std::size_t{2});

    audio_names.outputs = {{"Out", true}, {"Other", true}};
    audio_names.hand.tell({DeviceChange::Added, DeviceKind::AudioOut, "Out"});
    QTRY_COMPARE(window->status_text(), QStringLiteral("Audio out \"Out\" reconnected"));
    QCOMPARE(window->current_devices().audio_out, 1);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.row_rect(0).center());
    QCOMPARE(log.written.size(), std::size_t{4});
  }

 private:
  std::vector<std::string> opened;
  test::LoggingHooks midi_in_hooks{"in", opened}, midi_out_hooks{"out", opened};
  test::RecordingDownload download;
  test::WaveLog log;
  test::FakeAudioService audio{log};
  // The names the tables show: the fake service's two devices.
  struct Names : test::NamedAudioService {
    Names() { outputs = {{"Out", true}, {"Other", true}}; }
  } audio_names;
  test::NamedMidiService midi;
  test::MemoryStore store;
  std::unique_ptr<test::TempDir> tmp;
  std::unique_ptr<MainWindow> window;
  std::unique_ptr<PreviewPlayer> player;
  std::unique_ptr<PlayerPreviewHooks> preview;
  std::unique_ptr<DeviceChoices> choices;
  std::unique_ptr<DialogSetupHooks> setup;
};

}  // namespace brisca

BRISCA_QTEST_MAIN(brisca::WindowDevicesTest)
#include "window_devices_test.moc"
