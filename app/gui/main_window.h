// The BriscaTool main window: the sound list, its buttons and fields, the menu and the MIDI
// monitor row. It shows what the core parts report (on its clock, the Qt event loop); its
// commands are actions that its controller (WindowController) carries out.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/devices/settings.h"
#include "app/gui/overview_cache.h"
#include "app/gui/qt_clock.h"
#include "app/gui/row_delegate.h"
#include "app/gui/sound_list_model.h"
#include "app/gui/window_actions.h"
#include "app/gui/window_hooks.h"
#include "app/gui/window_layout.h"
#include "common/notice.h"
#include "monitor/monitor_display.h"
#include "soundlist/sound_list.h"

class QLabel;
class QTimer;

namespace brisca {

class Gatherer;
class GeometryMemory;
class ImportDialog;
class ClientLayout;
class DeviceFollower;
class SettingsStore;
class WindowController;

class MainWindow : public QMainWindow, private SoundListListener {
  Q_OBJECT

 public:
  MainWindow();
  ~MainWindow() override;

  // Hooks left null keep doing nothing.
  void set_hooks(const WindowHooks& hooks);
  const WindowHooks& hooks() const { return hooks_; }  // none null
  void set_current_devices(const CurrentDevices& devices) { devices_ = devices; }
  // Follows the devices coming and going while the window is open; stopped as it closes, before
  // its devices are.
  void follow_devices(std::unique_ptr<DeviceFollower> follower);
  // True while devices coming and going are watched.
  bool follows_devices() const;
  const CurrentDevices& current_devices() const { return devices_; }
  void set_unplugged(const UnpluggedOutputs& outputs) { unplugged_ = outputs; }
  const UnpluggedOutputs& unplugged() const { return unplugged_; }
  // The paths named on the command line: each one a file, a folder or a pattern. They are
  // gathered once, after post_command_line() and the work the window has before it.
  void set_command_line(std::vector<std::string> paths) { command_line_ = std::move(paths); }
  void post_command_line();
  // Where the folder the Open dialog last ended in is kept from one run to the next, and the
  // import folder is remembered; without a store the Open folder is kept while the window lives
  // and imports go next to the audio files. The window also keeps its size and place there,
  // whether the monitor shows, the list's order and the recent playlists, and takes them back
  // now (call it before the window is shown).
  void set_settings_store(SettingsStore* store);
  // The pace of the MIDI output in use: the rows' tooltips count down-load times at it.
  void set_download_pace(const Pace& pace) { download_pace_ = pace; }
  // The line about the MIDI input under the list, shown with the monitor; empty hides it.
  void set_monitor_status(const std::string& line);
  // One of the ten monitor fields.
  void set_monitor_text(MonitorField field, const std::string& text);
  // A sound file whose headers are bad: a warning box with the reader's text, captioned with the
  // file's name.
  void show_file_error(const std::string& text, const std::string& file_name);
  // The window's event loop, for the parts that run on it.
  Clock& clock() { return *clock_; }

  SoundList& sound_list() { return sound_list_; }
  SoundListWidget& list_widget() { return *controls_.list; }
  OverviewCache& overviews() { return overviews_; }
  RowDelegate& row_delegate() { return *delegate_; }
  // The commands of the menus and the buttons.
  const WindowActions& actions() const;
  const KitActions& kit_actions() const { return actions().kits; }
  bool monitor_shown() const { return monitor_shown_; }
  QByteArray usage_text() const { return usage_text_; }
  // The Import Audio dialog while it is open, else null.
  ImportDialog* import_dialog() const;

  // Closes the window as File > Exit does (devices closed in order), for a close the user did
  // not ask for in the window, such as a signal: nothing is asked, and an open dialog or box is
  // closed first.
  void force_close();

  // A line over the foot of the sound list: what the window could not do, the time a down-load
  // has left, what it sent. `stays`: until replaced, else it goes after a few seconds. `name`, a
  // folder or file named in the line, is shortened first when the line is too long for the window
  // (the whole line is then the tooltip).
  void show_status(const std::string& text, bool stays = false, const std::string& name = {});
  // The whole line shown, however shortened; empty when none shows.
  QString status_text() const;

  // Shows the notice in a box (a warning with OK, a question with Yes and No) and returns true
  // for OK and Yes.
  bool ask(const Notice& notice);

  void set_field_text(Field field, std::string_view text);
  // A modal box owned by the window; returns the button pressed.
  BoxAnswer message_box(std::string_view text, std::string_view caption, BoxIcon icon,
                        BoxButtons buttons);

  // What the commands do in the window itself: its dialogs, what it keeps in the store and what
  // it shows.
  void open_files();
  // The Import Audio dialog for these files; none for none.
  void import_audio(const std::vector<std::string>& paths);
  void import_audio_folder();
  void save_list_as();
  void toggle_reopen_last();
  void toggle_sorting();
  void toggle_monitor();
  void clear_monitor_fields();
  // The list's play cursor follows the preview of the file at `path` from now on.
  void start_play_cursor(const std::string& path);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // SoundListListener
  void total_changed(int total) override;
  void not_added(const Notice& notice) override;

  void follow_play_cursor();
  void apply_height();
  void open_recent_list(int index);
  void gather(const std::function<void(Gatherer&)>& work);
  void gather_at_start(const std::vector<std::string>& paths);
  void took_playlists(const std::vector<std::string>& playlists);
  void refresh_recent_menu();
  void set_sort_by_name(bool sorted);
  void watch_list_changes();
  void list_changed();
  void update_overview_scale();
  void show_overview_scale(double longest);
  void add_dropped(const std::vector<std::string>& paths);
  void tear_down();
  // Puts the status line over the list's foot and fits its text to its width.
  void place_status();

  QtClock* clock_ = nullptr;
  WindowHooks hooks_;
  std::unique_ptr<DeviceFollower> device_follower_;
  CurrentDevices devices_;
  UnpluggedOutputs unplugged_;
  Pace download_pace_;  // of the MIDI output in use
  std::vector<std::string> command_line_;
  SettingsStore* store_ = nullptr;
  QString open_folder_;
  QByteArray usage_text_;
  RowBitmaps bitmaps_;
  QWidget* client_ = nullptr;
  Controls controls_;
  SoundList sound_list_;
  SoundListModel rows_;  // the list's rows as the list view shows them; goes before the list
  WindowController* controller_ = nullptr;
  ClientLayout* layout_ = nullptr;
  GeometryMemory* geometry_ = nullptr;
  RowDelegate* delegate_ = nullptr;
  QTimer* list_changed_timer_ = nullptr;  // the work after rows came, went or moved
  QTimer* scale_timer_ = nullptr;         // the time scale after overviews came in
  double longest_sound_ = 0;              // seconds: the longest whole sound known in the list
  OverviewCache overviews_;
  PlayCursor play_cursor_;
  QTimer* cursor_timer_ = nullptr;
  SettingsStore* settings_ = nullptr;
  QPointer<ImportDialog> import_dialog_;
  std::string audio_folder_;  // where Import Folder... last found audio files
  QLabel* status_ = nullptr;
  QString status_line_, status_name_;  // the status line whole, and the name in it
  QTimer* status_timer_ = nullptr;
  bool monitor_shown_ = false;
  bool reopen_last_ = false;  // the list is kept in the store and opened again at start
  bool torn_down_ = false;
  bool forced_close_ = false;
};

}  // namespace brisca
