#include "app/gui/run_window.h"

#include <QApplication>

#include "app/gui/main_window.h"

// The resources live in this static library; they are registered before the first window.
static void init_resources() {
  Q_INIT_RESOURCE(briscatool);
}

namespace brisca {

int run_window(int argc, char** argv) {
  return run_window(argc, argv, {});
}

int run_window(int argc, char** argv, const HookFactory& make_hooks) {
  init_resources();
  QApplication app(argc, argv);  // takes out the toolkit's own options
  QApplication::setApplicationName(QStringLiteral("BriscaTool"));
  QApplication::setApplicationVersion(QStringLiteral("1.10"));
  QApplication::setDesktopFileName(QStringLiteral("briscatool"));
  MainWindow window;
  if (make_hooks) window.set_hooks(make_hooks(window));
  window.set_command_line(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
  window.show();
  window.post_message(WindowMessage::CommandLine, 0, 0);
  return QApplication::exec();
}

}  // namespace brisca
