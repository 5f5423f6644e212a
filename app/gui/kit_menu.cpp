#include "app/gui/kit_menu.h"

#include <QAction>
#include <QFile>
#include <QMenu>

namespace brisca {
namespace {

constexpr int kShownPathChars = 60;  // longer paths lose their middle

QAction* make_action(QMenu* menu, const char* text) {
  return new QAction(QString::fromLatin1(text), menu);
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

KitActions add_kit_actions(QMenu* file, QAction* open, QAction* exit) {
  KitActions a;
  a.save_list_as = make_action(file, "Save List &As...");
  a.save_list_as->setShortcut(QKeySequence::SaveAs);
  a.recent = new QMenu(QStringLiteral("Recent &Lists"), file);
  a.recent->setEnabled(false);
  a.reopen_last = make_action(file, "Reopen Last List at &Start");
  a.reopen_last->setCheckable(true);

  const QList<QAction*> items = file->actions();
  const int open_at = items.indexOf(open);
  QAction* after_open = open_at >= 0 && open_at + 1 < items.size() ? items[open_at + 1] : nullptr;
  file->insertAction(after_open, a.save_list_as);
  file->insertMenu(after_open, a.recent);
  file->insertSeparator(exit);
  file->insertAction(exit, a.reopen_last);
  file->insertSeparator(exit);
  return a;
}

void fill_recent_menu(QMenu* recent, const std::vector<std::string>& paths,
                      const std::function<void(int)>& open) {
  recent->clear();
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const int index = static_cast<int>(i);
    QAction* action = recent->addAction(recent_text(index + 1, paths[i]));
    QObject::connect(action, &QAction::triggered, recent, [open, index] { open(index); });
  }
  recent->setEnabled(!paths.empty());
}

}  // namespace brisca
