// What the window's commands do in the window itself: the play cursor, the list's order, the
// monitor row, the Open and Import Audio dialogs, dropped files and what the store keeps.
#include <QAction>
#include <QFile>
#include <QTimer>
#include <filesystem>
#include <system_error>

#include "app/devices/settings.h"
#include "app/gui/audio_import.h"
#include "app/gui/dialogs.h"
#include "app/gui/import_dialog.h"
#include "app/gui/main_window.h"
#include "app/gui/sound_list_widget.h"
#include "app/gui/window_memory.h"
#include "app/gui/window_resize.h"
#include "import/audio_input.h"
#include "soundlist/gather.h"

namespace brisca {
namespace {
constexpr const char* kOpenFolderSetting = "OpenFolder";
}  // namespace

void MainWindow::start_play_cursor(const std::string& path) {
  play_cursor_ = PlayCursor{path, std::nullopt};
  follow_play_cursor();
  cursor_timer_->start();
}

// Moves the cursor to where the preview has got; once nothing plays the cursor goes.
void MainWindow::follow_play_cursor() {
  std::optional<std::uint64_t> played = hooks_.preview->played_samples();
  std::shared_ptr<const SoundOverview> overview = overviews_.last(play_cursor_.path);
  std::optional<double> at;
  if (played && overview && overview->samples > 0)
    at = static_cast<double>(*played) / static_cast<double>(overview->samples);
  if (!played) cursor_timer_->stop();
  if (at == play_cursor_.played && at) return;
  play_cursor_.played = at;
  controls_.list->viewport()->update();
}

void MainWindow::toggle_sorting() {
  set_sort_by_name(!controls_.list->sorted());
  write_flag(store_, kSortByNameValue, controls_.list->sorted());
}

void MainWindow::set_sort_by_name(bool sorted) {
  controls_.list->set_sorted(sorted);
  actions().list.sort_by_name->setChecked(sorted);
}

void MainWindow::toggle_monitor() {
  monitor_shown_ = !monitor_shown_;
  apply_height();
  write_flag(store_, kMonitorShownValue, monitor_shown_);
}

void MainWindow::set_monitor_status(const std::string& line) {
  controls_.monitor_status->setText(QString::fromStdString(line));
  controls_.monitor_status->setVisible(monitor_shown_ && !line.empty());
}

// The monitor row comes and goes below the list: the window grows or shrinks by the row's
// height, its width, its top-left corner and the list's height staying as they are. A maximised
// window keeps its size and the list gives up or takes back the room. The design's size (with
// or without the row) is the smallest the window can be.
void MainWindow::apply_height() {
  controls_.monitor_status->setVisible(monitor_shown_ &&
                                       !controls_.monitor_status->text().isEmpty());
  const int bar = menuBar()->sizeHint().height();
  const int extra = std::max(0, height() - bar - layout_->design_height());
  layout_->set_monitor_shown(monitor_shown_);
  const int design = bar + layout_->design_height();
  setMinimumSize(kClientWidth, design);
  if (!isMaximized() && !isFullScreen()) resize(width(), design + extra);
  layout_->apply();
}

void MainWindow::set_settings_store(SettingsStore* store) {
  store_ = store;
  settings_ = store;
  if (store_ == nullptr) return;
  if (std::optional<std::string> folder = store_->read(kOpenFolderSetting))
    open_folder_ = QFile::decodeName(QByteArray::fromStdString(*folder));
  // The monitor row first: the remembered size includes it.
  if (read_flag(store_, kMonitorShownValue, false) != monitor_shown_) {
    monitor_shown_ = !monitor_shown_;
    apply_height();
  }
  set_sort_by_name(read_flag(store_, kSortByNameValue, true));
  reopen_last_ = read_flag(store_, kReopenListValue, false);
  kit_actions().reopen_last->setChecked(reopen_last_);
  refresh_recent_menu();
  geometry_ = new GeometryMemory(this, store_);
  geometry_->restore();
}

void MainWindow::open_files() {
  const QString before = open_folder_;
  gather([this](Gatherer& g) { open_files_dialog(this, g, open_folder_); });
  if (store_ != nullptr && open_folder_ != before)
    store_->write(kOpenFolderSetting, QFile::encodeName(open_folder_).toStdString());
}

ImportDialog* MainWindow::import_dialog() const {
  return import_dialog_.data();
}

// The Import Audio dialog for these files (joining a dialog already open is not offered: one
// kit at a time). It is window-modal and goes when closed.
void MainWindow::import_audio(const std::vector<std::string>& paths) {
  if (paths.empty() || import_dialog_ != nullptr) return;
  // The dialog plays through the preview's output: the list's play cursor would follow it.
  cursor_timer_->stop();
  play_cursor_ = PlayCursor{};
  controls_.list->viewport()->update();
  ImportDialogPorts ports;
  ports.preview = hooks_.preview;
  ports.audio_output = devices_.audio_out > 0;
  ports.settings = settings_;
  ports.pace = download_pace_;
  ports.add_sounds = [this](const std::vector<std::string>& sounds) {
    Gatherer(sound_list_).add_paths(sounds);
  };
  ports.show_summary = [this](const std::string& line, const std::string& folder) {
    show_status(line, true, folder);
  };
  ports.show_failures = [this](const std::string& text) {
    message_box(text, "Import Audio", BoxIcon::Warning, BoxButtons::Ok);
  };
  import_dialog_ = new ImportDialog(this, paths, std::move(ports));
  import_dialog_->setAttribute(Qt::WA_DeleteOnClose);
  import_dialog_->setWindowModality(Qt::WindowModal);
  import_dialog_->show();
}

void MainWindow::import_audio_folder() {
  std::string folder;
  std::vector<std::string> audio = choose_audio_folder(this, audio_folder_, folder);
  if (folder.empty()) return;
  audio_folder_ = folder;
  if (audio.empty())
    show_status("No audio files in " + folder, false, folder);
  else
    import_audio(audio);
}

// Audio files are imported and their sound files added; everything else is gathered.
void MainWindow::add_dropped(const std::vector<std::string>& paths) {
  std::vector<std::string> audio, other;
  for (const std::string& p : paths) {
    std::error_code ec;
    (std::filesystem::is_regular_file(p, ec) && is_audio_file(p) ? audio : other).push_back(p);
  }
  gather([&other](Gatherer& g) { g.add_paths(other); });
  import_audio(audio);
}

void MainWindow::clear_monitor_fields() {
  for (int i = 0; i < kMonitorTextFields; ++i) set_monitor_text(static_cast<MonitorField>(i), "");
}

}  // namespace brisca
