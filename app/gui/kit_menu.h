// The File menu's commands for kits: save the list as a playlist, open one of the playlists
// opened or saved last, and the choice to open the last list again at start.
#pragma once

#include <functional>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;

namespace brisca {

enum KitMenuId : int {
  kSaveListAsId = 40030,
  kReopenLastListId = 40031,
  kRecentListId = 40040,  // the first recent playlist; the others follow
};

struct KitActions {
  QAction* save_list_as = nullptr;
  QMenu* recent = nullptr;         // "Recent Lists", disabled while empty
  QAction* reopen_last = nullptr;  // checked: the last list is opened again at start
};

// Adds the commands to the "&File" menu: "Save List As..." and "Recent Lists" after "Open...",
// the start choice before "Exit". Each reports its id.
KitActions add_kit_actions(QMenuBar* bar, const std::function<void(int)>& on_command);

// Lists `paths` (newest first) under "Recent Lists", numbered from 1; entry i reports
// kRecentListId + i.
void fill_recent_menu(QMenu* recent, const std::vector<std::string>& paths,
                      const std::function<void(int)>& on_command);

}  // namespace brisca
