// Setup > Test Cable...: runs the cable test on the window's MIDI output and input with a
// progress bar, a line per pace tried and a result line, and offers to keep the pace found for
// the output. The test runs on the window's thread, driven by a timer and the input's posted
// messages, so the window never waits for it.
#pragma once

#include <QDialog>
#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/devices/settings.h"
#include "cable/cable_test.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace brisca {

// The window port of the test: its timers are QTimers and its posted messages queued calls,
// both handled on the thread that owns it. Fields and boxes are not used by the test.
class QtEventPort : public QObject, public WindowPort {
 public:
  using Handler = std::function<void(WindowMessage, std::uintptr_t, std::uintptr_t)>;
  explicit QtEventPort(QObject* parent) : QObject(parent) {}
  void on_message(Handler handler) { message_ = std::move(handler); }
  void on_timer(std::function<void(int)> handler) { timer_ = std::move(handler); }

  void set_field_text(Field, std::string_view) override {}
  BoxAnswer message_box(std::string_view, std::string_view, BoxIcon, BoxButtons) override {
    return BoxAnswer::No;
  }
  void post_message(WindowMessage message, std::uintptr_t wparam, std::uintptr_t lparam) override;
  void start_timer(int id, int period_ms) override;
  void stop_timer(int id) override;

 private:
  Handler message_;
  std::function<void(int)> timer_;
  std::map<int, QTimer*> timers_;
};

struct CableEntries {
  int out_choice = 0;  // entries of the name tables; 0: none chosen
  int in_choice = 0;
  std::string out_entry, in_entry;
};

class CableDialog : public QDialog, private CableEvents {
 public:
  // `kept` runs after the pace found was remembered for the output (the window takes it).
  CableDialog(MidiService& service, SettingsStore* store, CableEntries entries,
              std::function<void()> kept, QWidget* parent = nullptr);
  ~CableDialog() override;

  QPushButton* start_button() const { return start_; }
  QPushButton* keep_button() const { return keep_; }
  QProgressBar* progress_bar() const { return bar_; }
  QLabel* result_line() const { return result_; }
  QPlainTextEdit* pace_lines() const { return lines_; }
  bool running() const { return test_->running(); }
  void start();

 private:
  void pace_tried(const CablePaceResult& result) override;
  void progress(double fraction) override;
  void finished(const CableOutcome& outcome) override;
  void keep();
  void reject() override;

  SettingsStore* store_;
  CableEntries entries_;
  std::function<void()> kept_;
  QtEventPort* port_;
  std::unique_ptr<CableTest> test_;
  std::optional<Pace> found_;
  QProgressBar* bar_ = nullptr;
  QPlainTextEdit* lines_ = nullptr;
  QLabel* result_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* keep_ = nullptr;
};

}  // namespace brisca
