// The File menu's commands for kits: save the list as a playlist, open one of the playlists
// opened or saved last, and the choice to open the last list again at start.
#pragma once

#include <functional>
#include <string>
#include <vector>

class QAction;
class QMenu;

namespace brisca {

struct KitActions {
  QAction* save_list_as = nullptr;
  QMenu* recent = nullptr;         // "Recent Lists", disabled while empty
  QAction* reopen_last = nullptr;  // checked: the last list is opened again at start
};

// Adds the commands to the "&File" menu `file`: "Save List As..." and "Recent Lists" after
// `open`, the start choice before `exit`.
KitActions add_kit_actions(QMenu* file, QAction* open, QAction* exit);

// Lists `paths` (newest first) under "Recent Lists", numbered from 1; entry i calls open(i).
void fill_recent_menu(QMenu* recent, const std::vector<std::string>& paths,
                      const std::function<void(int)>& open);

}  // namespace brisca
