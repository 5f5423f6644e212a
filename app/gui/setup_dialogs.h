// The MIDI Setup and Audio Setup dialogs: two drop-down lists of a name table each, OK and
// Cancel; MIDI Setup also shows the down-load pace of the chosen output. OK remembers the paces
// changed and hands the chosen entries to the device choices (which close, remember and reopen
// the devices); Cancel changes nothing. A chosen device that is gone is listed last, as not
// connected, and stays chosen; the lists follow the devices coming and going while open.
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

#include "app/devices/device_choices.h"
#include "app/gui/window_hooks.h"

class QComboBox;

namespace brisca {

class PaceBox;

inline constexpr int kMidiInListId = 1000;
inline constexpr int kMidiOutListId = 1002;
inline constexpr int kAudioInListId = 1004;
inline constexpr int kAudioOutListId = 1005;
inline constexpr const char* kNotConnectedSuffix = " (not connected)";

class SetupDialog : public QDialog {
 public:
  enum class Kind { Midi, Audio };
  SetupDialog(Kind kind, DeviceChoices& choices, QWidget* parent = nullptr);

  QComboBox* in_list() const { return in_list_; }
  QComboBox* out_list() const { return out_list_; }
  int pending_in() const { return pending_in_; }
  int pending_out() const { return pending_out_; }
  PaceBox* pace_box() const { return pace_box_; }  // MIDI Setup only

  // The device tables were listed again: the lists show them, the entry chosen in each staying
  // chosen (as not connected when it went).
  void relisted();

 private:
  struct Side {
    const std::vector<std::string>* entries;
    const std::string* gone;
    int current;
  };
  Side in_side() const;
  Side out_side() const;
  QComboBox* add_list(int id, const Side& side, int y, int width, int& pending);
  static void fill(QComboBox* list, const Side& side);
  static void refill(QComboBox* list, const Side& side, int& pending);
  int add_pace_box(int width);
  void show_pace(int index);
  void apply();

  Kind kind_;
  DeviceChoices& choices_;
  QComboBox* in_list_ = nullptr;
  QComboBox* out_list_ = nullptr;
  PaceBox* pace_box_ = nullptr;
  int pending_in_ = 0;
  int pending_out_ = 0;
};

// The Setup menu's hooks: each lists that kind of device again and runs its dialog modally;
// `changed` runs after an OK, or when the listing moved a current choice, so the window can take
// the new current devices.
class DialogSetupHooks : public SetupHooks {
 public:
  DialogSetupHooks(DeviceChoices& choices, std::function<void()> changed)
      : choices_(choices), changed_(std::move(changed)) {}
  void midi_setup(QWidget* parent) override { run(SetupDialog::Kind::Midi, parent); }
  // The device tables were listed again (devices came or went): an open dialog shows them, and
  // the window takes the current devices.
  void relisted();
  void audio_setup(QWidget* parent) override { run(SetupDialog::Kind::Audio, parent); }
  void test_cable(QWidget* parent) override {
    if (cable_) cable_(parent);
  }
  // What Setup > Test Cable... runs.
  void on_test_cable(std::function<void(QWidget*)> run) { cable_ = std::move(run); }

 private:
  void run(SetupDialog::Kind kind, QWidget* parent);
  DeviceChoices& choices_;
  std::function<void()> changed_;
  std::function<void(QWidget*)> cable_;
  QPointer<SetupDialog> open_;
};

}  // namespace brisca
