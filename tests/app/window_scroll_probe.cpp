// Measures the list with 1 000 rows of 300-block sounds in a maximised window on a 1920 x 1080
// screen: gathering them into the window, drawing a page of rows while its overviews are still
// being made and once they are there, how long a page waits for its overviews, the frame times
// of a scroll row by row through the whole list, how many overviews a fast scroll makes, and
// how long the sweep of the whole list (for the time scale) takes. Not a test: run it by hand
// (window_scroll_probe; without QT_QPA_PLATFORM it draws off screen on a 1920 x 1080 screen).
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include "app/gui/main_window.h"
#include "app/gui/sound_list_widget.h"
#include "soundlist/gather.h"
#include "tests/preview/block_maker.h"
#include "tests/support/sound_files.h"

namespace {

namespace fs = std::filesystem;
constexpr int kFiles = 1000;
constexpr int kDistinct = 10;  // the rest are hard links: separate rows, separate overviews

void make_sounds(const std::string& folder) {
  std::mt19937 rng(3);
  for (int f = 0; f < kDistinct; ++f) {
    std::vector<brisca::Bytes> blocks;
    for (int b = 1; b <= 300; ++b)
      blocks.push_back(
          brisca::make_block(static_cast<std::uint16_t>(b), brisca::test::random_block(rng, 0)));
    brisca::write_file(folder + "/base" + std::to_string(f), brisca::test::sound_file(blocks, 301));
  }
  for (int f = 0; f < kFiles; ++f)
    fs::create_hard_link(folder + "/base" + std::to_string(f % kDistinct),
                         folder + "/sounds/sound" + std::to_string(10000 + f) + ".mid");
}

struct Figures {
  std::vector<double> ms;
  void add(double v) { ms.push_back(v); }
  double median() { return at(0.5); }
  double at(double share) {
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? 0
                      : ms[std::min(ms.size() - 1, static_cast<std::size_t>(ms.size() * share))];
  }
  double max() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

// Off screen on one 1920 x 1080 screen unless a platform was chosen.
void choose_platform(const std::string& folder) {
  if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return;
  const std::string config = folder + "/screen.json";
  QFile file(QString::fromStdString(config));
  if (!file.open(QIODevice::WriteOnly)) return;
  file.write(R"({"screens": [{"name": "probe", "x": 0, "y": 0, "width": 1920, "height": 1080,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
  file.close();
  qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString("offscreen:configfile=" + config));
}

void show_exposed(QWidget& window) {
  window.showMaximized();
  while (window.windowHandle() == nullptr || !window.windowHandle()->isExposed())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

double paint_ms(QWidget* viewport) {
  QElapsedTimer t;
  t.start();
  viewport->repaint();
  return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  brisca::test::TempDir tmp;
  choose_platform(tmp.path());
  QApplication app(argc, argv);
  Q_INIT_RESOURCE(briscatool);
  fs::create_directories(tmp / "sounds");
  make_sounds(tmp.path());

  brisca::MainWindow window;
  show_exposed(window);
  QElapsedTimer clock;
  clock.start();
  brisca::add_arguments(window.sound_list(), {tmp / "sounds"});
  const double gather_ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  QCoreApplication::processEvents();  // the list lays its rows out; the sweep begins
  brisca::SoundListWidget& list = window.list_widget();
  QWidget* viewport = list.viewport();
  QScrollBar* bar = list.verticalScrollBar();
  const int page = viewport->height() / list.row_height();
  const double first_page_ms = paint_ms(viewport);
  clock.restart();
  window.overviews().wait_idle();
  const double sweep_ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  const int swept = window.overviews().computed();

  // Every overview made: page by page, then row by row through the whole list.
  Figures pages, rows;
  for (int top = 0; top < list.count(); top += page) {
    bar->setValue(top);
    pages.add(paint_ms(viewport));
  }
  for (int top = 0; top < list.count(); ++top) {
    bar->setValue(top);
    rows.add(paint_ms(viewport));
  }

  // A fast scroll row by row over a fresh window while its overviews are being made.
  brisca::MainWindow fresh;
  show_exposed(fresh);
  brisca::add_arguments(fresh.sound_list(), {tmp / "sounds"});
  QCoreApplication::processEvents();
  Figures fast;
  clock.restart();
  for (int top = 0; top < fresh.list_widget().count(); ++top) {
    fresh.list_widget().verticalScrollBar()->setValue(top);
    fast.add(paint_ms(fresh.list_widget().viewport()));
    QCoreApplication::processEvents();
  }
  const double fast_total = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  const int fast_made = fresh.overviews().computed();
  fresh.overviews().wait_idle();

  std::printf("window %dx%d (maximised), list viewport %dx%d, device pixel ratio %.1f\n",
              window.width(), window.height(), viewport->width(), viewport->height(),
              window.devicePixelRatioF());
  std::printf("rows %d, page %d rows of %d px\n", list.count(), page, list.row_height());
  std::printf("gather into the window: %.1f ms\n", gather_ms);
  std::printf("first page drawn, overviews pending: %.2f ms\n", first_page_ms);
  std::printf("whole list swept for the time scale: %.0f ms, %d overviews\n", sweep_ms, swept);
  std::printf("page by page, overviews ready: frame median %.2f ms, max %.2f ms\n", pages.median(),
              pages.max());
  std::printf("row by row, overviews ready: frame median %.2f ms, 95%% %.2f ms, max %.2f ms\n",
              rows.median(), rows.at(0.95), rows.max());
  std::printf(
      "fast scroll over %d rows while overviews are made: %.0f ms, frame median %.2f ms, "
      "95%% %.2f ms, max %.2f ms, overviews made on the way %d\n",
      fresh.list_widget().count(), fast_total, fast.median(), fast.at(0.95), fast.max(), fast_made);
  return 0;
}
