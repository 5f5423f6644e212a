// The window program with its devices: the services of this build, the remembered choices and
// the subsystems behind the window's hooks.
#pragma once

#include <memory>

#include "app/devices/device_choices.h"
#include "app/devices/preview_hooks.h"
#include "app/devices/qt_settings_store.h"
#include "app/download_hooks.h"
#include "app/gui/receive_dialog.h"
#include "app/gui/setup_dialogs.h"
#include "app/gui/window_hooks.h"
#include "app/monitor_hooks.h"

class QWidget;

namespace brisca {

class MainWindow;

// Everything behind the hooks; it outlives the window, whose tear-down closes the devices.
struct Program {
  std::unique_ptr<MidiService> midi;
  std::unique_ptr<AudioService> audio;
  QtSettingsStore store;
  std::unique_ptr<MonitorWindowHooks> monitor;
  std::unique_ptr<DownloadWindowHooks> download;
  std::unique_ptr<PreviewPlayer> player;
  std::unique_ptr<PlayerPreviewHooks> preview;
  std::unique_ptr<DeviceChoices> choices;
  std::unique_ptr<DialogSetupHooks> setup;
  std::unique_ptr<DialogReceiveHooks> receive;

  // The services of this build.
  Program();
  ~Program();
  // Builds the subsystems on `window` and opens the remembered devices.
  WindowHooks attach(MainWindow& window);
  // Setup > Test Cable...
  void test_cable(QWidget* parent, MainWindow& window);
};

// Opens the window on the paths in argv and runs until it is closed. The devices are opened
// as the window comes up, in this order: the MIDI tables, the remembered MIDI in, then MIDI out;
// the down-load starts idle; the audio tables, the remembered audio in (a choice only), the
// remembered audio out; the preview starts idle.
int run_program_window(int argc, char** argv);

}  // namespace brisca
