// The window program's MIDI paths against a real JACK server: the window built as the program
// builds it, with the real MIDI service and the remembered device choices, talking to a JACK
// client of the test's own that receives what the down-load sends and sends what the monitor
// shows.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <memory>

#include "app/gui/main_window.h"
#include "app/gui/program_window.h"
#include "app/gui/sound_list_widget.h"
#include "soundlist/gather.h"
#include "tests/app/window_test_support.h"
#include "tests/e2e/jack_peer.h"
#include "tests/e2e/jack_server.h"
#include "tests/support/sound_files.h"

namespace brisca {

using test::find_control;
using test::JackPeer;

namespace {

constexpr int kWaitMs = 30000;
const char* const kSink = "brisca-e2e-window-sink";
const char* const kSource = "brisca-e2e-window-source";
const char* const kOtherSource = "brisca-e2e-window-source2";
const char* const kLateSink = "brisca-e2e-window-late-sink";

std::string entry_of(const char* client, const char* port) {
  return std::string("JACK: ") + client + ":" + port;
}

// The three System Exclusive messages of a small sound file: its header block and two blocks.
std::vector<Bytes> sound_messages(const std::string& name, std::uint8_t seed) {
  UnpackedBlock data{};
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + seed);
  return {make_header_block(name, "KICK", 3), make_block(1, data), make_block(2, data)};
}

// Each message cut into chunks of 200 bytes, as the down-load hands them to the port.
void append_chunks(std::vector<Bytes>& chunks, const std::vector<Bytes>& messages) {
  for (const Bytes& message : messages)
    for (std::size_t at = 0; at < message.size(); at += 200)
      chunks.emplace_back(message.begin() + at,
                          message.begin() + std::min<std::size_t>(at + 200, message.size()));
}

}  // namespace

class WindowMidiTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void send_files_delivers_every_chunk_to_the_chosen_output();
  void monitor_fields_show_what_comes_in();
  void midi_setup_ok_reopens_the_chosen_input();
  void a_cut_short_file_is_never_marked_sent();
  void a_port_that_comes_shows_in_an_open_midi_setup();
  void a_replugged_output_takes_the_first_send_whole_data();
  void a_replugged_output_takes_the_first_send_whole();
  // Closes the window: the last test.
  void closing_mid_message_asks_then_ends_the_message_at_the_far_end();

 private:
  SoundListWidget& list() const { return window->list_widget(); }
  QString field(const char* caption) const {
    for (QLineEdit* e : window->centralWidget()->findChildren<QLineEdit*>())
      if (e->property("caption").toString() == QLatin1String(caption)) return e->text();
    return QStringLiteral("<none>");
  }
  void click_button(int id) {
    QTest::mouseClick(find_control<QPushButton>(window->centralWidget(), id), Qt::LeftButton);
  }
  bool all_rows_sent() const {
    for (int row = 0; row < list().count(); ++row)
      if (!window->sound_list().row(row).sent || window->sound_list().row(row).sending)
        return false;
    return list().count() > 0;
  }
  // Sends `message` from `peer` again until field `caption` shows `text`: an input opened just
  // now is connected some cycles later on a busy server, and what is sent before goes nowhere.
  bool send_until_shown(JackPeer& peer, const Bytes& message, const char* caption,
                        const QString& text) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kWaitMs) {
      peer.send({message});
      if (!peer.wait_sent()) return false;
      if (QTest::qWaitFor([&] { return field(caption) == text; }, 200)) return true;
    }
    return false;
  }
  // Opens MIDI Setup from the menu, picks `in_entry` as MIDI in and presses OK.
  void midi_setup_with_input(const std::string& in_entry);

  test::TempDir config, sounds;
  std::vector<Bytes> expected_chunks;
  std::unique_ptr<JackPeer> sink, source, other_source;
  std::unique_ptr<Program> program;
  std::unique_ptr<MainWindow> window;
};

// The peers exist before the window, so the MIDI tables list them; the remembered choices name
// them, so the window opens them at start-up as the program does.
void WindowMidiTest::initTestCase() {
  QVERIFY(!config.path().empty() && !sounds.path().empty());
  setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);  // the choices of this test only
  QVERIFY(test::use_jack_server(test::fixture_server_dir()));
  sink = std::make_unique<JackPeer>(kSink, JackPeer::Role::Receive);
  source = std::make_unique<JackPeer>(kSource, JackPeer::Role::Send);
  other_source = std::make_unique<JackPeer>(kOtherSource, JackPeer::Role::Send);
  QVERIFY(sink->ok() && source->ok() && other_source->ok());

  QtSettingsStore store;
  QVERIFY(store.write(kMidiInValue, entry_of(kSource, "out")));
  QVERIFY(store.write(kMidiOutValue, entry_of(kSink, "in")));

  const auto a = sound_messages("SOUND A", 0);
  const auto b = sound_messages("SOUND B", 3);
  QVERIFY(write_file(sounds / "a.mid", make_smf0(a)));
  QVERIFY(write_file(sounds / "b.mid", make_smf0(b)));
  append_chunks(expected_chunks, a);  // rows are sent top row first
  append_chunks(expected_chunks, b);

  // The composition of run_window() over the program's own Program.
  program = std::make_unique<Program>();
  window = std::make_unique<MainWindow>();
  window->set_hooks(program->attach(*window));
  window->set_command_line({sounds.path()});
  window->show();
  window->post_command_line();
  QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  QTRY_COMPARE_WITH_TIMEOUT(list().count(), 2, kWaitMs);
  QVERIFY(program->choices->current().midi_in > 0);
  QVERIFY(program->choices->current().midi_out > 0);
}

void WindowMidiTest::cleanupTestCase() {
  window.reset();  // its tear-down closes the devices through the program's hooks
  program.reset();
  sink.reset();
  source.reset();
  other_source.reset();
}

void WindowMidiTest::send_files_delivers_every_chunk_to_the_chosen_output() {
  click_button(kSelectAllId);
  QVERIFY(window->sound_list().row(0).selected && window->sound_list().row(1).selected);
  const auto boxes = test::answer_modals([&] {
    click_button(kSendId);
    QTRY_VERIFY_WITH_TIMEOUT(all_rows_sent(), 30000);
  });
  QVERIFY(boxes.empty());
  QVERIFY(sink->wait_events(expected_chunks.size(), std::chrono::seconds(30)));
  const std::vector<Bytes> received = sink->events();
  QCOMPARE(received.size(), expected_chunks.size());
  for (std::size_t i = 0; i < received.size(); ++i) {
    QVERIFY2(received[i] == expected_chunks[i], qPrintable(QStringLiteral("chunk %1").arg(i)));
    QVERIFY(received[i].size() <= 200);
  }
  QCOMPARE(int{received.front().front()}, 0xF0);
  QCOMPARE(int{received.back().back()}, 0xF7);
  QVERIFY(!program->download->is_sending());
}

void WindowMidiTest::monitor_fields_show_what_comes_in() {
  const Bytes sysex{0xF0, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0xF7};
  QVERIFY(source->wait_connected());
  source->send({{0x90, 0x3C, 0x40}});
  source->send({{0xC5, 0x07}});
  source->send({sysex});
  QVERIFY(source->wait_sent());
  QTRY_COMPARE_WITH_TIMEOUT(field("Note On"), QStringLiteral("90 3c 40 "), kWaitMs);
  QTRY_COMPARE_WITH_TIMEOUT(field("Prog Chg"), QStringLiteral("c5 07 "), kWaitMs);
  QTRY_COMPARE_WITH_TIMEOUT(field("System Exclusive"),
                            QStringLiteral("f0 01 02 03 04 05 06 ... f7   [9]"), kWaitMs);
  QCOMPARE(field("Note Off"), QString());

  click_button(kMidiMonId);
  QVERIFY(window->monitor_shown());
  QTRY_VERIFY(find_control<QPushButton>(window->centralWidget(), kClearDataId)->isVisible());
  QCoreApplication::processEvents();
  test::save_grab(window.get(), "monitor_filled");
}

void WindowMidiTest::midi_setup_with_input(const std::string& in_entry) {
  QAction* setup = window->actions().midi_setup;
  bool pressed = false;
  const auto seen = test::answer_modals([&] { setup->trigger(); },
                                        [&](QWidget* dialog) {
                                          auto* in = find_control<QComboBox>(dialog, kMidiInListId);
                                          auto* ok = find_control<QPushButton>(dialog, 1);
                                          if (in == nullptr || ok == nullptr) return;
                                          const int index =
                                              in->findText(QString::fromStdString(in_entry));
                                          if (index < 0) return;
                                          in->setCurrentIndex(index);
                                          ok->click();
                                          pressed = true;
                                        });
  QCOMPARE(seen.size(), 1u);
  QVERIFY(pressed);
}

void WindowMidiTest::midi_setup_ok_reopens_the_chosen_input() {
  // OK on the same input closes it and opens it again; it still receives.
  const int before = program->choices->current().midi_in;
  midi_setup_with_input(entry_of(kSource, "out"));
  QCOMPARE(program->choices->current().midi_in, before);
  QVERIFY(send_until_shown(*source, {0xC5, 0x03}, "Prog Chg", QStringLiteral("c5 03 ")));

  // Another input: the new one is opened and remembered, the old one no longer reaches the
  // window (its Note Off goes out a cycle before the new input's message, so it would show).
  midi_setup_with_input(entry_of(kOtherSource, "out"));
  QVERIFY(program->choices->current().midi_in != before);
  QVERIFY(program->choices->current().midi_in > 0);
  QVERIFY(QtSettingsStore().read(kMidiInValue) == entry_of(kOtherSource, "out"));
  source->send({{0x80, 0x3D, 0x00}});
  QVERIFY(source->wait_sent());
  QVERIFY(send_until_shown(*other_source, {0xC5, 0x02}, "Prog Chg", QStringLiteral("c5 02 ")));
  QCOMPARE(field("Note Off"), QString());
  QVERIFY(program->choices->current().midi_out > 0);  // the output was reopened as well
}

// A damaged file is found before the first byte: a box names it, nothing reaches the far end and
// the row stays selected, never marked sent.
void WindowMidiTest::a_cut_short_file_is_never_marked_sent() {
  const Bytes whole = make_smf0(sound_messages("CUT", 5));
  QVERIFY(write_file(sounds / "cut.mid", Bytes(whole.begin(), whole.end() - 150)));
  add_arguments(window->sound_list(), {sounds / "cut.mid"});
  QCOMPARE(list().count(), 3);
  click_button(kClearAllId);
  list().setCurrentRow(2);
  window->actions().select_one->trigger();
  const std::size_t before = sink->events().size();
  const auto boxes = test::answer_modals([&] { click_button(kSendId); });
  QCOMPARE(boxes.size(), 1u);
  QVERIFY2(boxes[0].text.contains(QStringLiteral("cut.mid: ends after 2 of 3 blocks")),
           qPrintable(boxes[0].text));
  QVERIFY(!program->download->download().sequencer().is_busy());
  const Row& cut = window->sound_list().row(2);
  QVERIFY(cut.selected && !cut.sending && !cut.sent);
  QCOMPARE(sink->events().size(), before);
}

// Closing asks while a sound is being sent; No keeps sending, Yes closes the output, which ends
// the message it was inside with a lone F7 at the far end.
void WindowMidiTest::closing_mid_message_asks_then_ends_the_message_at_the_far_end() {
  click_button(kClearAllId);
  list().setCurrentRow(0);
  window->actions().select_one->trigger();
  const std::size_t before = sink->events().size();
  click_button(kSendId);
  QTRY_VERIFY_WITH_TIMEOUT(sink->events().size() >= before + 2, kWaitMs);  // inside the header
  QVERIFY(program->download->is_sending());
  QVERIFY2(window->status_text().endsWith(QStringLiteral(" left")),
           qPrintable(window->status_text()));
  auto press = [](QMessageBox::StandardButton which) {
    return [which](QWidget* modal) {
      if (auto* box = qobject_cast<QMessageBox*>(modal)) box->button(which)->click();
    };
  };
  auto seen = test::answer_modals([&] { window->close(); }, press(QMessageBox::No));
  QCOMPARE(seen.size(), 1u);
  QCOMPARE(seen[0].text, QStringLiteral("A sound is being sent. Quit anyway?"));
  QVERIFY(window->isVisible());
  QVERIFY(program->download->is_sending());
  seen = test::answer_modals([&] { window->close(); }, press(QMessageBox::Yes));
  QCOMPARE(seen.size(), 1u);
  QVERIFY(!window->isVisible());
  QVERIFY(!program->download->is_sending());
  QVERIFY(window->sound_list().row(0).selected && !window->sound_list().row(0).sending);
  QTRY_VERIFY_WITH_TIMEOUT(sink->events().back() == Bytes{0xF7}, kWaitMs);
}

// A client that starts while MIDI Setup is open shows in its output list within a second, the
// output chosen staying chosen; the time it took is printed.
void WindowMidiTest::a_port_that_comes_shows_in_an_open_midi_setup() {
  if (!window->follows_devices()) QSKIP("the MIDI service of this build cannot tell ports coming");
  const QString entry = QString::fromStdString(entry_of(kLateSink, "in"));
  std::unique_ptr<JackPeer> late;
  qint64 shown_ms = -1;
  bool checked = false;
  test::answer_modals(
      [&] { window->actions().midi_setup->trigger(); },
      [&](QWidget* dialog) {
        auto* out = find_control<QComboBox>(dialog, kMidiOutListId);
        QVERIFY(out != nullptr);
        const QString chosen = out->currentText();
        QElapsedTimer since;
        since.start();
        late = std::make_unique<JackPeer>(kLateSink, JackPeer::Role::Receive);
        QVERIFY(late->ok());
        QVERIFY(QTest::qWaitFor([&] { return out->findText(entry) >= 0; }, kWaitMs));
        shown_ms = since.elapsed();
        QCOMPARE(out->currentText(), chosen);
        checked = true;
        find_control<QPushButton>(dialog, 2)->click();  // Cancel
      });
  QVERIFY(checked);
  qInfo("a new port showed in the open MIDI Setup %lld ms after its client started", shown_ms);
  QVERIFY2(shown_ms < 1000, qPrintable(QString::number(shown_ms)));
  late.reset();
}

// The chosen output's port goes and comes back under its name, once while the output is idle
// and once in the middle of a file: the status line says so each time, and the first
// Send File(s) after that reaches the far end whole, with no box, no lone F7 before it and no
// Setup in between.
void WindowMidiTest::a_replugged_output_takes_the_first_send_whole_data() {
  QTest::addColumn<bool>("mid_send");
  QTest::newRow("idle") << false;
  QTest::newRow("mid-send") << true;
}

void WindowMidiTest::a_replugged_output_takes_the_first_send_whole() {
  if (!window->follows_devices()) QSKIP("the MIDI service of this build cannot tell ports going");
  QFETCH(bool, mid_send);
  const QString name = QString::fromStdString(entry_of(kSink, "in"));
  const Row& row = window->sound_list().row(0);
  const auto cut = test::answer_modals([&] {
    if (mid_send) {
      click_button(kClearAllId);
      for (int r : {0, 1}) {
        list().setCurrentRow(r);
        window->actions().select_one->trigger();
      }
      const std::size_t at = sink->events().size();
      click_button(kSendId);
      QTRY_VERIFY_WITH_TIMEOUT(sink->events().size() >= at + 2, kWaitMs);  // inside the header
    }
    QVERIFY(sink->unplug());
    QTRY_COMPARE_WITH_TIMEOUT(window->status_text(), "MIDI out \"" + name + "\" unplugged",
                              kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!program->download->is_sending(), kWaitMs);
  });
  for (const auto& box : cut) qInfo("told as the port went: %s", qPrintable(box.text));
  QCOMPARE(program->choices->current().midi_out, 0);
  QVERIFY(sink->plug());
  QTRY_COMPARE_WITH_TIMEOUT(window->status_text(), "MIDI out \"" + name + "\" reconnected",
                            kWaitMs);
  QVERIFY(program->choices->current().midi_out > 0);

  click_button(kClearAllId);
  list().setCurrentRow(0);
  window->actions().select_one->trigger();
  QVERIFY(row.selected);
  const std::size_t before = sink->events().size();
  const auto boxes = test::answer_modals([&] {
    click_button(kSendId);
    QTRY_VERIFY_WITH_TIMEOUT(!program->download->is_sending() && !row.sending, kWaitMs);
  });
  for (const auto& box : boxes) qWarning("box: %s", qPrintable(box.text));
  QVERIFY(boxes.empty());
  QVERIFY(!row.selected && row.sent);
  const std::size_t a_chunks = expected_chunks.size() / 2;  // a.mid and b.mid are alike in size
  QVERIFY(sink->wait_events(before + a_chunks, std::chrono::seconds(30)));
  const std::vector<Bytes> received = sink->events();
  QCOMPARE(received.size(), before + a_chunks);
  for (std::size_t i = 0; i < a_chunks; ++i)
    QVERIFY2(received[before + i] == expected_chunks[i],
             qPrintable(QStringLiteral("chunk %1").arg(i)));
}

}  // namespace brisca

BRISCA_QTEST_MAIN(brisca::WindowMidiTest)
#include "e2e_window_midi_test.moc"
