// File > Receive Sounds...: a small dialog that stays open beside the window while sound dumps
// arrive on the MIDI input. It shows the folder the sounds go to (chosen once, remembered), a
// line per sound with a progress bar of its blocks and the file it became, and Stop / Start.
// The monitor fields keep showing what arrives meanwhile.
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/devices/settings.h"
#include "app/gui/window_hooks.h"
#include "monitor/midi_in_port.h"
#include "receive/port_listener.h"
#include "receive/sound_receiver.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace brisca {

// The remembered folder, under the program's settings key.
inline constexpr const char* kReceiveFolderValue = "ReceiveFolder";

class ReceiveDialog : public QDialog, private ReceiveEvents {
  Q_OBJECT

 public:
  // `written` runs for each file written (the window adds it to its list).
  ReceiveDialog(MidiInPort& port, SettingsStore* store,
                std::function<void(const std::string&)> written, QWidget* parent = nullptr);
  ~ReceiveDialog() override;

  bool receiving() const { return receiving_; }
  QString folder() const;
  QTreeWidget* sounds() const { return sounds_; }
  QPushButton* stop_button() const { return stop_; }
  // Takes `folder` as if chosen in the folder dialog: shown, remembered, used from now on.
  void choose_folder(const QString& folder);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void sound_begun(const SoundProgress& sound) override;
  void block_received(const SoundProgress& sound) override;
  void sound_ended(const ReceivedSound& sound) override;
  void start();
  void stop();
  void tick();
  void pick_folder();
  void show_status();
  QTreeWidgetItem* row(const SoundProgress& sound);

  MidiInPort& port_;
  SettingsStore* store_;
  std::function<void(const std::string&)> written_;
  std::unique_ptr<SoundReceiver> receiver_;
  std::unique_ptr<ReceiverListener> listener_;
  bool receiving_ = false;
  QLineEdit* folder_ = nullptr;
  QTreeWidget* sounds_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* stop_ = nullptr;
  QTimer* timer_ = nullptr;
  std::map<int, QTreeWidgetItem*> rows_;
};

// The window's hook for the menu command: one dialog at a time, raised when already open.
class DialogReceiveHooks : public ReceiveHooks {
 public:
  DialogReceiveHooks(MidiInPort& port, SettingsStore* store,
                     std::function<void(const std::string&)> written)
      : port_(port), store_(store), written_(std::move(written)) {}
  void receive_sounds(QWidget* parent) override;
  void end_receiving() override;
  ReceiveDialog* dialog() const { return dialog_; }

 private:
  MidiInPort& port_;
  SettingsStore* store_;
  std::function<void(const std::string&)> written_;
  QPointer<ReceiveDialog> dialog_;
};

}  // namespace brisca
