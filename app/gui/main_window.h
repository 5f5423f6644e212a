// The BriscaTool main window: the sound list, its buttons and fields, the menu and the MIDI
// monitor row. It is the WindowPort of the core parts (fields, boxes, posted messages, timers)
// and routes commands, keys and messages to the sound list and to the subsystem hooks.
#pragma once

#include <QMainWindow>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/devices/settings.h"
#include "app/gui/row_delegate.h"
#include "app/gui/window_hooks.h"
#include "app/gui/window_layout.h"
#include "common/window_port.h"
#include "soundlist/sound_list.h"

class QTimer;

namespace brisca {

class MainWindow : public QMainWindow, public WindowPort {
  Q_OBJECT

 public:
  MainWindow();
  ~MainWindow() override;

  // Hooks left null keep doing nothing.
  void set_hooks(const WindowHooks& hooks);
  void set_current_devices(const CurrentDevices& devices) { devices_ = devices; }
  // The paths handled by message 1034: each one a file, a folder or a pattern.
  void set_command_line(std::vector<std::string> paths) { command_line_ = std::move(paths); }
  // Where the folder the Open dialog last ended in is kept from one run to the next; without
  // a store it is kept while the window lives.
  void set_settings_store(SettingsStore* store);
  // The line about the MIDI input under the list, shown with the monitor; empty hides it.
  void set_monitor_status(const std::string& line);

  SoundList& sound_list() { return sound_list_; }
  SoundListWidget& list_widget() { return *controls_.list; }
  bool monitor_shown() const { return monitor_shown_; }
  QByteArray usage_text() const { return usage_text_; }

  // Runs one command of the menu, the buttons or the list (notification: 1 selection change,
  // 2 double-click).
  void command(int id, int notification = 0);

  // WindowPort
  void set_field_text(Field field, std::string_view text) override;
  BoxAnswer message_box(std::string_view text, std::string_view caption, BoxIcon icon,
                        BoxButtons buttons) override;
  void post_message(WindowMessage message, std::uintptr_t wparam, std::uintptr_t lparam) override;
  void start_timer(int id, int period_ms) override;
  void stop_timer(int id) override;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void handle_message(WindowMessage message, std::uintptr_t wparam, std::uintptr_t lparam);
  void button_command(int id);
  void on_key(int key_code);
  void on_list_notification(int notification);
  void listen();
  void toggle_monitor();
  void apply_height();
  void open_files();
  void clear_monitor_fields();
  void tear_down();

  WindowHooks hooks_;
  CurrentDevices devices_;
  std::vector<std::string> command_line_;
  SettingsStore* store_ = nullptr;
  QString open_folder_;
  QByteArray usage_text_;
  RowBitmaps bitmaps_;
  QWidget* client_ = nullptr;
  Controls controls_;
  SoundList sound_list_;
  std::map<int, QTimer*> timers_;
  bool monitor_shown_ = false;
  bool torn_down_ = false;
};

}  // namespace brisca
