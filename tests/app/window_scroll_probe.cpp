// Measures the list with 1 000 rows of 300-block sounds: gathering them into the window, drawing
// a page of rows while its overviews are still being made and once they are there, how long a
// page waits for its overviews, and how many overviews a fast scroll through the whole list
// makes. Not a test: run it by hand (QT_QPA_PLATFORM=offscreen window_scroll_probe).
#include <QApplication>
#include <QElapsedTimer>
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
  double median() {
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? 0 : ms[ms.size() / 2];
  }
  double max() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

void show_exposed(QWidget& window) {
  window.show();
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
  QApplication app(argc, argv);
  Q_INIT_RESOURCE(briscatool);
  brisca::test::TempDir tmp;
  fs::create_directories(tmp / "sounds");
  make_sounds(tmp.path());

  brisca::MainWindow window;
  show_exposed(window);
  QElapsedTimer clock;
  clock.start();
  brisca::add_arguments(window.sound_list(), {tmp / "sounds"});
  const double gather_ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  QCoreApplication::processEvents();  // the list lays its rows out
  brisca::SoundListWidget& list = window.list_widget();
  QWidget* viewport = list.viewport();
  QScrollBar* bar = list.verticalScrollBar();
  const int page = viewport->height() / brisca::kRowHeight;

  // Page by page: drawn at once (overviews asked), then waited for, then drawn again.
  Figures cold, warm, wait;
  for (int top = 0; top < list.count(); top += page) {
    bar->setValue(top);
    cold.add(paint_ms(viewport));
    clock.restart();
    window.overviews().wait_idle();
    wait.add(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    warm.add(paint_ms(viewport));
  }
  const int after_pages = window.overviews().computed();

  // A fast scroll row by row over a fresh window: the overviews asked and dropped on the way.
  brisca::MainWindow fresh;
  show_exposed(fresh);
  brisca::add_arguments(fresh.sound_list(), {tmp / "sounds"});
  Figures fast;
  clock.restart();
  for (int top = 0; top < fresh.list_widget().count(); ++top) {
    fresh.list_widget().verticalScrollBar()->setValue(top);
    fast.add(paint_ms(fresh.list_widget().viewport()));
    QCoreApplication::processEvents();
  }
  const double fast_total = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  fresh.overviews().wait_idle();

  std::printf("rows %d, page %d rows\n", list.count(), page);
  std::printf("gather into the window: %.1f ms\n", gather_ms);
  std::printf("page drawn, overviews pending: median %.2f ms, max %.2f ms\n", cold.median(),
              cold.max());
  std::printf("page drawn, overviews ready:   median %.2f ms, max %.2f ms\n", warm.median(),
              warm.max());
  std::printf("page waits for its overviews:  median %.1f ms, max %.1f ms\n", wait.median(),
              wait.max());
  std::printf("overviews made paging through: %d\n", after_pages);
  std::printf(
      "fast scroll over %d rows: %.0f ms, frame median %.2f ms, max %.2f ms, "
      "overviews made %d\n",
      fresh.list_widget().count(), fast_total, fast.median(), fast.max(),
      fresh.overviews().computed());
  return 0;
}
