// What the main window does for each command, key and list notification.
#include <QMenuBar>
#include <filesystem>
#include <system_error>

#include "app/devices/settings.h"
#include "app/gui/audio_import.h"
#include "app/gui/dialogs.h"
#include "app/gui/import_folder_dialog.h"
#include "app/gui/main_window.h"
#include "app/gui/sound_list_widget.h"
#include "import/audio_input.h"
#include "soundlist/gather.h"

namespace brisca {
namespace {
constexpr const char* kNoMidiOutput = "No MIDI output: choose one in Setup > MIDI…";
constexpr const char* kNoAudioOutput = "No audio output: choose one in Setup > Audio…";
}  // namespace

void MainWindow::command(int id, int notification) {
  switch (id) {
    case kClearDataId:
      clear_monitor_fields();
      break;
    case kListId:
      on_list_notification(notification);
      break;
    case kListenId:
      listen();
      break;
    case kSelectOneId:
      sound_list_.toggle_select_current();
      break;
    case kSelectAllId:
      sound_list_.select_all(true);
      break;
    case kClearAllId:
      sound_list_.select_all(false);
      break;
    case kSendId:
      if (devices_.midi_out == 0) show_status(kNoMidiOutput);
      hooks_.download->send_files();
      break;
    case kStopId:
      hooks_.download->request_stop();
      break;
    case kMidiMonId:
      toggle_monitor();
      break;
    case kExitId:
      close();
      break;
    case kMidiSetupId:
      hooks_.setup->midi_setup(this);
      break;
    case kAboutId:
      show_about_dialog(this);
      break;
    case kAudioSetupId:
      hooks_.setup->audio_setup(this);
      break;
    case kUsageId:
      show_usage_dialog(this, usage_text_);
      break;
    case kOpenId:
      open_files();
      break;
    case kReceiveSoundsId:
      hooks_.receive->receive_sounds(this);
      break;
    case kImportAudioId:
      import_audio(choose_audio_files(this));
      break;
    case kImportFolderId:
      choose_import_folder();
      break;
    default:
      break;
  }
}

void MainWindow::on_key(int key_code) {
  switch (key_code) {
    case 13:
      command(kSendId);
      break;
    case 27:
      command(kStopId);
      break;
    case 32:
      command(kSelectOneId);
      break;
    case 45:
      command(kSelectAllId);
      break;
    case 46:
      command(kClearAllId);
      break;
    default:
      break;
  }
}

// 1: the user moved the list's selection (or clicked a row): show the row's folder and play it.
// 2: a double-click toggles the row's mark.
void MainWindow::on_list_notification(int notification) {
  if (notification == 2) {
    sound_list_.toggle_select_current();
    return;
  }
  if (notification != 1) return;
  int row = controls_.list->selected_row();
  if (row < 0) return;
  std::uint32_t word = controls_.list->item_word(row);
  const std::string& folder = sound_list_.directory(item_dir(word));
  set_field_text(Field::PathAndFiles, folder);
  if (devices_.audio_out == 0) show_status(kNoAudioOutput);
  hooks_.preview->start_preview(folder, controls_.list->text(row));
}

void MainWindow::listen() {
  int row = controls_.list->selected_row();
  if (row < 0) return;
  std::uint32_t word = controls_.list->item_word(row);
  if (devices_.audio_out == 0) show_status(kNoAudioOutput);
  hooks_.preview->start_preview(sound_list_.directory(item_dir(word)), controls_.list->text(row));
}

void MainWindow::toggle_monitor() {
  monitor_shown_ = !monitor_shown_;
  apply_height();
}

// Width and top-left corner stay; only the height changes.
void MainWindow::apply_height() {
  int client_height = monitor_shown_ ? kClientHeightWithMonitor : kClientHeight;
  client_->setFixedSize(kClientWidth, client_height);
  setFixedSize(kClientWidth, menuBar()->sizeHint().height() + client_height);
}

void MainWindow::open_files() {
  open_files_dialog(this, sound_list_);
}

void MainWindow::import_audio(const std::vector<std::string>& paths) {
  import_->add(paths, remembered_import_folder(settings_));
}

void MainWindow::choose_import_folder() {
  std::optional<std::string> folder =
      brisca::choose_import_folder(this, remembered_import_folder(settings_));
  if (folder && settings_ != nullptr) settings_->write(kImportFolderValue, *folder);
}

// Audio files are imported and their sound files added; everything else is gathered.
void MainWindow::add_dropped(const std::vector<std::string>& paths) {
  std::vector<std::string> audio, other;
  for (const std::string& p : paths) {
    std::error_code ec;
    (std::filesystem::is_regular_file(p, ec) && is_audio_file(p) ? audio : other).push_back(p);
  }
  Gatherer(sound_list_).add_paths(other);
  import_audio(audio);
}

void MainWindow::clear_monitor_fields() {
  for (int i = 0; i < kMonitorFieldCount; ++i) set_field_text(static_cast<Field>(i), "");
}

}  // namespace brisca
