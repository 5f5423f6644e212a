// Helpers for the window tests: recording hooks, finding controls, answering modal windows and
// saving grabs.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>
#include <QWidget>
#include <QtTest>
#include <functional>
#include <string>
#include <vector>

#include "app/gui/main_window.h"

namespace brisca::test {

struct RecordingPreview : PreviewHooks {
  std::vector<std::pair<std::string, std::string>> previews;
  int closes = 0;
  Status start_preview(const std::string& dir, const std::string& name) override {
    previews.emplace_back(dir, name);
    return {};
  }
  void close() override { ++closes; }
};

struct RecordingDownload : DownloadHooks {
  int sends = 0, stops = 0, closes = 0;
  void send_files() override { ++sends; }
  void request_stop() override { ++stops; }
  void close() override { ++closes; }
};

struct RecordingMonitor : MonitorHooks {
  int closes = 0;
  void close() override { ++closes; }
};

inline int control_id(const QWidget* w) {
  return w->property("controlId").toInt();
}

template <class T>
T* find_control(const QWidget* root, int id) {
  for (T* child : root->findChildren<T*>())
    if (control_id(child) == id) return child;
  return nullptr;
}

inline QString screenshot_path(const char* name) {
  QDir().mkpath(QStringLiteral(BRISCA_SCREENSHOT_DIR));
  return QStringLiteral(BRISCA_SCREENSHOT_DIR "/%1.png").arg(QLatin1String(name));
}

inline void save_grab(QWidget* widget, const char* name) {
  QVERIFY(widget->grab().save(screenshot_path(name)));
}

// What a modal window showed.
struct SeenModal {
  QString class_name, title, text;
};

// Runs `open`, which is expected to show modal windows one after another. Each one is handed to
// `handle` (which may press its buttons); whatever is still open afterwards is closed, so a failed
// check inside `handle` cannot leave the test waiting for ever.
inline std::vector<SeenModal> answer_modals(const std::function<void()>& open,
                                            const std::function<void(QWidget*)>& handle = {}) {
  std::vector<SeenModal> seen;
  QPointer<QWidget> last;
  QTimer timer;
  timer.setInterval(20);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == last) return;
    last = modal;
    auto close_it = qScopeGuard([modal = QPointer<QWidget>(modal)] {
      if (modal == nullptr || !modal->isVisible()) return;
      if (auto* dialog = qobject_cast<QDialog*>(modal.data()))
        dialog->reject();
      else
        modal->close();
    });
    auto* box = qobject_cast<QMessageBox*>(modal);
    seen.push_back({QString::fromLatin1(modal->metaObject()->className()), modal->windowTitle(),
                    box ? box->text() : QString()});
    if (handle) handle(modal);
  });
  timer.start();
  open();
  timer.stop();
  return seen;
}

}  // namespace brisca::test

namespace brisca::test {

// The window tests are one program: each test class registers itself under its class name, and
// the program runs the class named by its first argument (see qtest_main.cpp), each in a process
// of its own. use_96dpi gives the class the font resolution of Qt's own test main.
using QtTestFactory = QObject* (*)();
bool register_qtest(const char* name, QtTestFactory make, bool use_96dpi);

}  // namespace brisca::test

#define BRISCA_QTEST_CONCAT2(a, b) a##b
#define BRISCA_QTEST_CONCAT(a, b) BRISCA_QTEST_CONCAT2(a, b)
#define BRISCA_QTEST_REGISTER(TestClass, use_96dpi)                        \
  namespace {                                                              \
  const bool BRISCA_QTEST_CONCAT(brisca_qtest_registered_, __COUNTER__) =  \
      brisca::test::register_qtest(                                        \
          TestClass::staticMetaObject.className(),                         \
          [] { return static_cast<QObject*>(new TestClass); }, use_96dpi); \
  }

// A test class of the window program, which asks for Qt's own dialogs so that tests can reach
// into them.
#define BRISCA_QTEST_MAIN(TestClass) BRISCA_QTEST_REGISTER(TestClass, false)
