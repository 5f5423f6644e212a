// The subsystems the main window calls into. Each pointer may be replaced once the subsystem
// exists; until then the window uses implementations that do nothing.
#pragma once

#include <string>

#include "app/hooks.h"

class QWidget;

namespace brisca {

// The dialogs of the Setup menu: the two device dialogs and the cable test.
class SetupHooks {
 public:
  virtual ~SetupHooks() = default;
  virtual void midi_setup(QWidget* /*parent*/) {}
  virtual void audio_setup(QWidget* /*parent*/) {}
  virtual void test_cable(QWidget* /*parent*/) {}
};

// File > Receive Sounds...: opens the receiving dialog (not modal).
class ReceiveHooks {
 public:
  virtual ~ReceiveHooks() = default;
  virtual void receive_sounds(QWidget* /*parent*/) {}
  // At tear-down, while the window and its list still exist: ends receiving (a sound in
  // progress is written as partial) and closes the dialog.
  virtual void end_receiving() {}
};

struct WindowHooks {
  PreviewHooks* preview = nullptr;
  DownloadHooks* download = nullptr;
  MonitorHooks* monitor = nullptr;
  SetupHooks* setup = nullptr;
  ReceiveHooks* receive = nullptr;
};

// The device indices in use (0 = none). Devices above 0 are closed when the window goes away:
// MIDI in, then MIDI out, then the audio output.
struct CurrentDevices {
  int midi_in = 0;
  int midi_out = 0;
  int audio_in = 0;
  int audio_out = 0;
};

// The outputs chosen but unplugged (their devices 0 in CurrentDevices), by name; empty: none.
struct UnpluggedOutputs {
  std::string midi_out, audio_out;
};

}  // namespace brisca
