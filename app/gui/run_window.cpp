#include "app/gui/run_window.h"

#include <QApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/end_signals.h"
#include "app/gui/main_window.h"

// The resources live in this static library; they are registered before the first window.
static void init_resources() {
  Q_INIT_RESOURCE(briscatool);
}

namespace brisca {
namespace {

bool is_set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Why no window can be shown here, judged from the environment alone; nothing when a display
// may be there (or another platform, such as offscreen, was chosen).
std::optional<std::string> missing_display() {
  const std::string platform = is_set("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "";
  const bool x11 = platform.empty() || platform.rfind("xcb", 0) == 0;
  const bool wayland = platform.empty() || platform.rfind("wayland", 0) == 0;
  if (!x11 && !wayland) return std::nullopt;
  if ((x11 && is_set("DISPLAY")) || (wayland && is_set("WAYLAND_DISPLAY"))) return std::nullopt;
  if (platform.empty()) return "neither DISPLAY nor WAYLAND_DISPLAY is set";
  return (x11 ? "DISPLAY" : "WAYLAND_DISPLAY") + std::string(" is not set");
}

void report_no_display(const std::string& why) {
  std::fprintf(stderr, "no display: %s; the commands work without one, see --help\n", why.c_str());
}

// While the application starts, the toolkit's messages are held back; when it gives up (a
// display that cannot be opened) the first of them explains why in one line and the program
// ends, before any device is open. Otherwise they are passed on once it has started.
QtMessageHandler g_previous_handler = nullptr;
std::vector<std::pair<QtMsgType, QString>> g_held;

void on_start_message(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type != QtFatalMsg) {
    g_held.emplace_back(type, text);
    return;
  }
  const QString why =
      g_held.empty() ? text.section(QLatin1Char('\n'), 0, 0) : g_held.front().second;
  report_no_display(why.toStdString());
  std::fflush(stderr);
  std::_Exit(1);
}

void pass_on_held_messages() {
  qInstallMessageHandler(g_previous_handler);
  for (const auto& [type, text] : g_held) {
    if (g_previous_handler != nullptr)
      g_previous_handler(type, QMessageLogContext(), text);
    else
      std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  }
  g_held.clear();
}

}  // namespace

int run_window(int argc, char** argv) {
  return run_window(argc, argv, {});
}

int run_window(int argc, char** argv, const HookFactory& make_hooks) {
  if (auto why = missing_display()) {
    report_no_display(*why);
    return 1;
  }
  // Counted from here on: a signal during start-up closes the window once the loop runs.
  EndSignals end_signals;
  init_resources();
  g_previous_handler = qInstallMessageHandler(on_start_message);
  QApplication app(argc, argv);  // takes out the toolkit's own options
  pass_on_held_messages();
  QApplication::setApplicationName(QStringLiteral("BriscaTool"));
  QApplication::setApplicationVersion(QStringLiteral("1.10"));
  QApplication::setDesktopFileName(QStringLiteral("briscatool"));
  MainWindow window;
  if (make_hooks) window.set_hooks(make_hooks(window));
  window.set_command_line(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));

  // SIGINT, SIGTERM and SIGHUP close the window as File > Exit does, without a question, and
  // end the program however long its devices took to close: exit() leaves every event loop,
  // where quit() may be refused by a window that stays open.
  std::optional<QSocketNotifier> wake;
  if (EndSignals::wake_fd() >= 0) {
    wake.emplace(EndSignals::wake_fd(), QSocketNotifier::Read);
    QObject::connect(&*wake, &QSocketNotifier::activated, &window, [&window] {
      EndSignals::drain();
      window.force_close();
      QCoreApplication::exit(0);
    });
  }
  window.show();
  window.post_command_line();
  return QApplication::exec();
}

}  // namespace brisca
