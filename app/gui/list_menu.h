// The commands that manage the list's rows: remove the current row, remove the rows marked
// selected, clear the list, and sort by name or keep the order added. They sit in the Edit menu
// and in the list's context menu; the keys the list already gives a meaning (Enter, Escape,
// Space, Insert, Delete) keep it, so removal goes with Shift or Ctrl and Delete.
#pragma once

class QAction;
class QMenuBar;
class QWidget;

namespace brisca {

struct ListActions {
  QAction* remove_row = nullptr;
  QAction* remove_selected = nullptr;
  QAction* clear_list = nullptr;
  QAction* sort_by_name = nullptr;  // checked: sorted by name
};

// Builds the actions on `list` (its context menu) and an "&Edit" menu before "&Setup".
ListActions add_list_actions(QMenuBar* bar, QWidget* list);

}  // namespace brisca
