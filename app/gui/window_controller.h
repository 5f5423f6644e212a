// What the window's commands do: the controller owns the actions of the menu and the buttons,
// connects the buttons, the list's keys, clicks and double-clicks to them, and carries each one
// out on the sound list, through the subsystems' hooks or in the window.
#pragma once

#include <QObject>

#include "app/gui/window_actions.h"

namespace brisca {

class MainWindow;
struct Controls;

class WindowController : public QObject {
 public:
  // Makes the actions and the window's menus; the window must have its controls and its list's
  // rows already.
  WindowController(MainWindow& window, const Controls& controls);

  const WindowActions& actions() const { return actions_; }

 private:
  void connect_file_commands();
  void connect_list_commands();
  void connect_button_commands();
  void on_key(int key_code);
  void row_chosen();
  void listen();
  void start_preview_of_row(int row);
  void send();
  int current_row() const;

  MainWindow& window_;
  WindowActions actions_;
};

}  // namespace brisca
