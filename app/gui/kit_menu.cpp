#include "app/gui/kit_menu.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>

#include "app/gui/window_layout.h"

namespace brisca {
namespace {

constexpr int kShownPathChars = 60;  // longer paths lose their middle

QMenu* file_menu(QMenuBar* bar) {
  for (QAction* action : bar->actions())
    if (action->text() == QStringLiteral("&File")) return action->menu();
  return nullptr;
}

QAction* item_with_id(QMenu* menu, int id) {
  for (QAction* action : menu->actions())
    if (action->data().toInt() == id) return action;
  return nullptr;
}

QAction* make_action(QMenu* menu, const char* text, int id,
                     const std::function<void(int)>& on_command) {
  auto* action = new QAction(QString::fromLatin1(text), menu);
  action->setData(id);
  QObject::connect(action, &QAction::triggered, menu, [on_command, id] { on_command(id); });
  return action;
}

// "&1 /home/me/kits/rock.m3u", the middle left out of a long path, any '&' shown as itself.
QString recent_text(int number, const std::string& path) {
  QString shown = QFile::decodeName(QByteArray::fromStdString(path));
  if (shown.size() > kShownPathChars)
    shown = shown.left(kShownPathChars / 2 - 2) + QStringLiteral("...") +
            shown.right(kShownPathChars / 2 - 1);
  shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
  return QStringLiteral("&%1 %2").arg(number).arg(shown);
}

}  // namespace

KitActions add_kit_actions(QMenuBar* bar, const std::function<void(int)>& on_command) {
  KitActions a;
  QMenu* file = file_menu(bar);
  if (file == nullptr) return a;
  a.save_list_as = make_action(file, "Save List &As...", kSaveListAsId, on_command);
  a.save_list_as->setShortcut(QKeySequence::SaveAs);
  a.recent = new QMenu(QStringLiteral("Recent &Lists"), file);
  a.recent->setEnabled(false);
  a.reopen_last = make_action(file, "Reopen Last List at &Start", kReopenLastListId, on_command);
  a.reopen_last->setCheckable(true);

  const QList<QAction*> items = file->actions();
  const int open_at = items.indexOf(item_with_id(file, kOpenId));
  QAction* after_open = open_at >= 0 && open_at + 1 < items.size() ? items[open_at + 1] : nullptr;
  file->insertAction(after_open, a.save_list_as);
  file->insertMenu(after_open, a.recent);
  QAction* exit = item_with_id(file, kExitId);
  file->insertSeparator(exit);
  file->insertAction(exit, a.reopen_last);
  file->insertSeparator(exit);
  return a;
}

void fill_recent_menu(QMenu* recent, const std::vector<std::string>& paths,
                      const std::function<void(int)>& on_command) {
  recent->clear();
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const int id = kRecentListId + static_cast<int>(i);
    QAction* action = recent->addAction(recent_text(static_cast<int>(i) + 1, paths[i]));
    action->setData(id);
    QObject::connect(action, &QAction::triggered, recent, [on_command, id] { on_command(id); });
  }
  recent->setEnabled(!paths.empty());
}

}  // namespace brisca
