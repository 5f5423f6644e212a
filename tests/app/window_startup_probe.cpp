// Measures the window's start: prints the time from the start of main() until the window has
// been shown and has gathered the paths named on its command line, then quits.
//   window_startup_probe [PATH...]             time the start on these paths
//   window_startup_probe --make-sounds N DIR   first write N sound files into DIR
// Used by scripts/bench-window.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/gui/main_window.h"
#include "app/gui/sound_list_widget.h"
#include "soundfile/sound_writer.h"

namespace {

int make_sounds(int count, const std::string& folder) {
  brisca::UnpackedBlock data{};
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 31);
  for (int f = 0; f < count; ++f) {
    std::vector<brisca::Bytes> blocks{brisca::make_header_block("SOUND", "SNR ", 20)};
    for (int b = 1; b <= 20; ++b)
      blocks.push_back(brisca::make_block(static_cast<std::uint16_t>(b), data));
    if (!brisca::write_file(folder + "/sound" + std::to_string(10000 + f) + ".mid",
                            brisca::make_smf0(blocks)))
      return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--make-sounds") == 0)
    return make_sounds(std::atoi(argv[2]), argv[3]);
  QElapsedTimer clock;
  clock.start();
  Q_INIT_RESOURCE(briscatool);
  QApplication app(argc, argv);
  brisca::MainWindow window;
  window.set_command_line(std::vector<std::string>(argv + 1, argv + argc));
  window.show();
  window.post_command_line();
  // Posted after the command line: runs once the window is shown and has gathered.
  QTimer::singleShot(0, &window, [&] {
    std::printf("shown_ms %.1f rows %d\n", static_cast<double>(clock.nsecsElapsed()) / 1e6,
                window.list_widget().count());
    QApplication::quit();
  });
  return QApplication::exec();
}
