// Prints how long the window takes from the start of main() until it is shown on screen and
// has gathered the paths named on its command line; then quits. Used by scripts/bench-window.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

#include "app/gui/main_window.h"
#include "app/gui/sound_list_widget.h"

int main(int argc, char** argv) {
  QElapsedTimer clock;
  clock.start();
  Q_INIT_RESOURCE(briscatool);
  QApplication app(argc, argv);
  brisca::MainWindow window;
  window.set_command_line(std::vector<std::string>(argv + 1, argv + argc));
  window.show();
  window.post_message(brisca::WindowMessage::CommandLine, 0, 0);
  // Posted after the command line: runs once the window has been shown and has gathered.
  QTimer::singleShot(0, &window, [&] {
    std::printf("shown_ms %.1f rows %d\n", static_cast<double>(clock.nsecsElapsed()) / 1e6,
                window.list_widget().count());
    QApplication::quit();
  });
  return QApplication::exec();
}
