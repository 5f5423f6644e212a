// Setup > Test Cable...: runs the cable test on the window's MIDI output and input with a
// progress bar, a line per pace tried and a result line, and offers to keep the pace found for
// the output. The test runs on the dialog's own clock (the event loop of the window's thread),
// so the window never waits for it.
#pragma once

#include <QDialog>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/devices/settings.h"
#include "app/gui/qt_clock.h"
#include "cable/cable_test.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace brisca {

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
  QtClock* clock_;
  std::unique_ptr<CableTest> test_;
  std::optional<Pace> found_;
  QProgressBar* bar_ = nullptr;
  QPlainTextEdit* lines_ = nullptr;
  QLabel* result_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* keep_ = nullptr;
};

}  // namespace brisca
