#include "app/gui/window_controller.h"

#include <QAction>
#include <QMenuBar>
#include <string>

#include "app/gui/audio_import.h"
#include "app/gui/dialogs.h"
#include "app/gui/main_window.h"
#include "app/gui/sound_list_widget.h"
#include "soundfile/midi_reader.h"

namespace brisca {
namespace {

constexpr const char* kNoMidiOutput = "No MIDI output: choose one in Setup > MIDI…";
constexpr const char* kNoAudioOutput = "No audio output: choose one in Setup > Audio…";

// What the status line says of an output that is not there: the one chosen is unplugged, or none
// is chosen.
std::string unplugged(const char* what, const std::string& gone, const char* none) {
  return gone.empty() ? std::string(none) : what + (" \"" + gone + "\" unplugged");
}

template <typename Handler>
void on(QAction* action, QObject* context, Handler handler) {
  QObject::connect(action, &QAction::triggered, context, handler);
}

}  // namespace

WindowController::WindowController(MainWindow& window, const Controls& controls)
    : QObject(&window),
      window_(window),
      actions_(make_window_actions(&window, window.menuBar(), &window.list_widget())) {
  connect_file_commands();
  connect_list_commands();
  connect_button_commands();
  connect_buttons(controls, actions_, &window.list_widget());
}

// The File, Setup and Help menus.
void WindowController::connect_file_commands() {
  const WindowActions& a = actions_;
  on(a.open, this, [this] { window_.open_files(); });
  on(a.import_audio, this, [this] { window_.import_audio(choose_audio_files(&window_)); });
  on(a.import_folder, this, [this] { window_.import_audio_folder(); });
  on(a.receive_sounds, this, [this] { window_.hooks().receive->receive_sounds(&window_); });
  on(a.exit, this, [this] { window_.close(); });
  on(a.kits.save_list_as, this, [this] { window_.save_list_as(); });
  on(a.kits.reopen_last, this, [this] { window_.toggle_reopen_last(); });
  on(a.midi_setup, this, [this] { window_.hooks().setup->midi_setup(&window_); });
  on(a.audio_setup, this, [this] { window_.hooks().setup->audio_setup(&window_); });
  on(a.test_cable, this, [this] { window_.hooks().setup->test_cable(&window_); });
  on(a.usage, this, [this] { show_usage_dialog(&window_, window_.usage_text()); });
  on(a.about, this, [this] { show_about_dialog(&window_); });
}

// The Edit menu, and what the list reports: a row chosen, a double-click, its five keys.
void WindowController::connect_list_commands() {
  const ListActions& a = actions_.list;
  on(a.remove_row, this, [this] { window_.sound_list().remove_at(current_row()); });
  on(a.remove_selected, this, [this] { window_.sound_list().remove_selected(); });
  on(a.clear_list, this, [this] { window_.sound_list().clear_rows(); });
  on(a.sort_by_name, this, [this] { window_.toggle_sorting(); });
  SoundListWidget* list = &window_.list_widget();
  connect(list, &SoundListWidget::selection_changed_by_user, this, [this] { row_chosen(); });
  // A double-click toggles the row's mark.
  connect(list, &SoundListWidget::double_clicked, this,
          [this] { window_.sound_list().toggle_select(current_row()); });
  connect(list, &SoundListWidget::key_command, this, [this](int code) { on_key(code); });
}

// The buttons beside the list and under the monitor.
void WindowController::connect_button_commands() {
  const WindowActions& a = actions_;
  on(a.listen, this, [this] { listen(); });
  on(a.select_one, this, [this] { window_.sound_list().toggle_select(current_row()); });
  on(a.select_all, this, [this] { window_.sound_list().select_all(true); });
  on(a.clear_all, this, [this] { window_.sound_list().select_all(false); });
  on(a.send, this, [this] { send(); });
  on(a.stop, this, [this] { window_.hooks().download->request_stop(); });
  on(a.midi_mon, this, [this] { window_.toggle_monitor(); });
  on(a.clear_data, this, [this] { window_.clear_monitor_fields(); });
}

int WindowController::current_row() const {
  return window_.list_widget().currentRow();
}

void WindowController::on_key(int key_code) {
  switch (key_code) {
    case 13:
      actions_.send->trigger();
      break;
    case 27:
      actions_.stop->trigger();
      break;
    case 32:
      actions_.select_one->trigger();
      break;
    case 45:
      actions_.select_all->trigger();
      break;
    case 46:
      actions_.clear_all->trigger();
      break;
    default:
      break;
  }
}

// The user moved the list's highlight (or clicked a row): show the row's folder and play it.
void WindowController::row_chosen() {
  const int row = window_.list_widget().selected_row();
  if (row < 0) return;
  SoundList& list = window_.sound_list();
  window_.set_field_text(Field::PathAndFiles, list.directory(list.row(row).dir));
  start_preview_of_row(row);
}

void WindowController::listen() {
  const int row = window_.list_widget().selected_row();
  if (row >= 0) start_preview_of_row(row);
}

void WindowController::start_preview_of_row(int row) {
  SoundList& list = window_.sound_list();
  const std::string folder = list.directory(list.row(row).dir);
  if (window_.current_devices().audio_out == 0)
    window_.show_status(unplugged("Audio out", window_.unplugged().audio_out, kNoAudioOutput));
  const std::string name = list.row(row).name;
  const std::string path = list.full_path(row);
  if (const Status started = window_.hooks().preview->start_preview(folder, name);
      !started && started.code() == ErrorCode::BadFile)
    window_.show_file_error(started.message(), std::string(file_name_of(name)));
  window_.start_play_cursor(path);
}

void WindowController::send() {
  if (window_.current_devices().midi_out == 0)
    window_.show_status(unplugged("MIDI out", window_.unplugged().midi_out, kNoMidiOutput));
  window_.hooks().download->send_files();
}

}  // namespace brisca
