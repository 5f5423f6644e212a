#include "app/gui/list_menu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace brisca {
namespace {

QAction* make_action(QWidget* list, const char* text, const QKeySequence& keys) {
  auto* action = new QAction(QString::fromLatin1(text), list);
  action->setShortcut(keys);
  return action;
}

QAction* menu_titled(QMenuBar* bar, const QString& title) {
  for (QAction* action : bar->actions())
    if (action->text() == title) return action;
  return nullptr;
}

}  // namespace

ListActions add_list_actions(QMenuBar* bar, QWidget* list) {
  ListActions a;
  a.remove_row = make_action(list, "&Remove Row", QKeySequence(Qt::SHIFT | Qt::Key_Delete));
  a.remove_selected =
      make_action(list, "Remove &Selected Rows", QKeySequence(Qt::CTRL | Qt::Key_Delete));
  a.clear_list =
      make_action(list, "&Clear List", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Delete));
  a.sort_by_name = make_action(list, "Sort by &Name", QKeySequence());
  a.sort_by_name->setCheckable(true);
  a.sort_by_name->setChecked(true);

  auto* separator = new QAction(list);
  separator->setSeparator(true);
  const QList<QAction*> actions{a.remove_row, a.remove_selected, a.clear_list, separator,
                                a.sort_by_name};
  // The shortcuts work wherever the focus is in the window.
  for (QAction* action : actions) action->setShortcutContext(Qt::WindowShortcut);
  list->addActions(actions);
  list->setContextMenuPolicy(Qt::ActionsContextMenu);

  auto* edit = new QMenu(QStringLiteral("&Edit"), bar);
  edit->addActions(actions);
  bar->insertMenu(menu_titled(bar, QStringLiteral("&Setup")), edit);
  return a;
}

}  // namespace brisca
