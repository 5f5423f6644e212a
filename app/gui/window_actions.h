// The window's commands as actions: one per menu item and button. The menus and the buttons
// trigger them, and so may anything else (keys, tests); what each does is the controller's.
#pragma once

#include "app/gui/kit_menu.h"
#include "app/gui/list_menu.h"

class QAction;
class QMenuBar;
class QWidget;

namespace brisca {

struct Controls;

struct WindowActions {
  // File
  QAction* open = nullptr;
  QAction* import_audio = nullptr;
  QAction* import_folder = nullptr;
  QAction* receive_sounds = nullptr;
  QAction* exit = nullptr;
  // Setup
  QAction* midi_setup = nullptr;
  QAction* audio_setup = nullptr;
  QAction* test_cable = nullptr;
  // Help
  QAction* usage = nullptr;
  QAction* about = nullptr;
  // The buttons
  QAction* listen = nullptr;
  QAction* select_one = nullptr;
  QAction* select_all = nullptr;
  QAction* clear_all = nullptr;
  QAction* send = nullptr;
  QAction* stop = nullptr;
  QAction* midi_mon = nullptr;
  QAction* clear_data = nullptr;
  // The Edit menu (and the list's context menu) and the kits in the File menu.
  ListActions list;
  KitActions kits;
};

// Makes the actions on `window` and puts the menu's in "&File", "&Edit", "&Setup" and "&Help"
// on `bar`; the list's commands also go in `list`'s context menu.
WindowActions make_window_actions(QWidget* window, QMenuBar* bar, QWidget* list);

// Each button of `controls` triggers its action; a click then hands the keys back to `list`,
// so that Enter, Space and the others keep working without a click into the list first.
void connect_buttons(const Controls& controls, const WindowActions& actions, QWidget* list);

}  // namespace brisca
