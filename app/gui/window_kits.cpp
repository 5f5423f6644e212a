// The main window's kits: the list saved as a playlist, playlists opened (they list their sounds
// in their order, so the list takes the order added), the recent playlists, and the last list
// kept in the store and opened again at start when the user chose so.
#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/devices/settings.h"
#include "app/gui/dialogs.h"
#include "app/gui/main_window.h"
#include "app/gui/sound_list_widget.h"
#include "app/gui/window_memory.h"
#include "soundlist/gather.h"
#include "soundlist/playlist.h"

namespace brisca {
namespace {

constexpr const char* kLastListName = "the last list";

std::string absolute_path(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

QString file_name(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(split_path(path).name));
}

}  // namespace

void MainWindow::toggle_reopen_last() {
  reopen_last_ = !reopen_last_;
  kit_actions().reopen_last->setChecked(reopen_last_);
  write_flag(store_, kReopenListValue, reopen_last_);
  if (store_ != nullptr && !reopen_last_) store_->write(kLastListValue, "");
  if (reopen_last_) list_changed();  // kept from now on
}

// Every gathering of the window goes through here: one report of what was not added, and the
// playlists it read remembered.
void MainWindow::gather(const std::function<void(Gatherer&)>& work) {
  Gatherer gatherer(sound_list_);
  {
    Gatherer::Batch one_report(gatherer);
    work(gatherer);
  }
  took_playlists(gatherer.playlists());
}

// At start: the last list when the user chose to have it again, then the command line.
void MainWindow::gather_at_start(const std::vector<std::string>& paths) {
  gather([this, &paths](Gatherer& g) {
    std::optional<std::string> last;
    if (reopen_last_ && store_ != nullptr) last = store_->read(kLastListValue);
    if (last && !last->empty()) g.add_listed(parse_playlist(*last, "/"), kLastListName);
    g.add_paths(paths);
  });
}

// A playlist is a kit in its order: a list sorted by name shows the order added instead.
void MainWindow::took_playlists(const std::vector<std::string>& playlists) {
  if (playlists.empty()) return;
  if (controls_.list->sorted()) {
    set_sort_by_name(false);
    write_flag(store_, kSortByNameValue, false);
    show_status("Listed in the playlist's order (Edit > Sort by Name)");
  }
  for (const std::string& playlist : playlists)
    remember_recent_list(store_, absolute_path(playlist));
  refresh_recent_menu();
}

void MainWindow::refresh_recent_menu() {
  fill_recent_menu(kit_actions().recent, read_recent_lists(store_),
                   [this](int index) { open_recent_list(index); });
}

void MainWindow::open_recent_list(int index) {
  const std::vector<std::string> lists = read_recent_lists(store_);
  if (index < 0 || static_cast<std::size_t>(index) >= lists.size()) return;
  const std::string path = lists[static_cast<std::size_t>(index)];
  gather([&path](Gatherer& g) { g.add_playlist(path); });
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    forget_recent_list(store_, path);
    refresh_recent_menu();
  }
}

// The rows in the order shown, their paths relative to the playlist's folder where they lie
// under it.
void MainWindow::save_list_as() {
  const std::vector<std::string> recent = read_recent_lists(store_);
  const QString start =
      recent.empty()
          ? open_folder_
          : QFileInfo(QFile::decodeName(QByteArray::fromStdString(recent[0]))).absolutePath();
  const QString chosen = save_list_dialog(this, start);
  if (chosen.isEmpty()) return;
  const std::string path = QFile::encodeName(chosen).toStdString();
  std::vector<std::string> paths;
  for (int row = 0; row < controls_.list->count(); ++row)
    paths.push_back(sound_list_.full_path(row));
  if (!write_playlist(path, paths)) {
    const std::string why = std::strerror(errno);
    message_box("The list could not be saved as\n" + path + "\n(" + why + "); nothing was changed.",
                "Save List As", BoxIcon::Warning, BoxButtons::Ok);
    return;
  }
  remember_recent_list(store_, absolute_path(path));
  refresh_recent_menu();
  show_status(QStringLiteral("Saved %1 sound(s) as %2")
                  .arg(paths.size())
                  .arg(file_name(path))
                  .toStdString(),
              false, file_name(path).toStdString());
}

}  // namespace brisca
