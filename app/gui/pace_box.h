// The down-load pace of the chosen MIDI output, as the MIDI Setup dialog shows it: chunk size,
// interval and the pause between files, each within what is offered (nothing faster than
// 200-byte chunks every 70 ms), the rate they make, and "Default", which restores 200-byte
// chunks every 70 ms with no pause. Edits are kept per output entry until the dialog's OK stores
// those that differ from what is remembered.
#pragma once

#include <QGroupBox>
#include <map>
#include <string>

#include "app/devices/settings.h"
#include "pace/pace.h"

class QLabel;
class QPushButton;
class QSpinBox;

namespace brisca {

class PaceBox : public QGroupBox {
 public:
  explicit PaceBox(SettingsStore* store, QWidget* parent = nullptr);

  // Shows the pace of `entry` (the output's entry text): an edit made in this dialog, else the
  // remembered pace, else the default. Entry 0 ("none") shows the default, disabled.
  void show_output(int index, const std::string& entry);
  Pace pace() const;
  // Remembers each edited pace that differs from the one remembered for its output.
  void store_edits();

  QSpinBox* chunk_box() const { return chunk_; }
  QSpinBox* interval_box() const { return interval_; }
  QPushButton* default_button() const { return default_; }
  QLabel* rate_label() const { return rate_; }

 private:
  void set_pace(const Pace& pace);
  void edited();

  SettingsStore* store_;
  QSpinBox* chunk_ = nullptr;
  QSpinBox* interval_ = nullptr;
  QSpinBox* gap_ = nullptr;
  QPushButton* default_ = nullptr;
  QLabel* rate_ = nullptr;
  int index_ = 0;
  std::string entry_;
  bool loading_ = false;
  std::map<std::string, Pace> edits_;  // by entry text
};

}  // namespace brisca
