// The four device choices of the program: the name tables, the remembered choices, and opening
// and closing the chosen devices at start-up, after the setup dialogs and at the end. The tables
// are filled at start-up and again as each setup dialog opens. Opening
// goes through the hooks of the parts that own each device (MIDI in: the monitor, MIDI out: the
// down-load, audio out: the preview); audio in is only a remembered choice.
#pragma once

#include "app/devices/name_tables.h"
#include "app/devices/settings.h"
#include "app/hooks.h"

namespace brisca {

struct DeviceIndices {
  int midi_in = 0;
  int midi_out = 0;
  int audio_in = 0;
  int audio_out = 0;
};

// The entries of chosen devices that went while chosen (empty: none gone). Each stays the choice,
// its device closed and its index 0, until a device of that entry comes back (and is opened
// again) or the user chooses another.
struct GoneDevices {
  std::string midi_in, midi_out, audio_in, audio_out;
};

class DeviceChoices {
 public:
  DeviceChoices(MidiService& midi, AudioService& audio, SettingsStore* store);

  // Null hooks open nothing.
  void set_hooks(DeviceHooks* midi_in, DeviceHooks* midi_out, DeviceHooks* audio_out);

  // Fills the MIDI tables, then opens the remembered MIDI in and then MIDI out.
  void start_midi();
  // Fills the audio tables, takes the remembered audio in as a choice and opens the remembered
  // audio out.
  void start_audio();

  // "OK" of the setup dialogs, in turn for the in and the out side: close the current device if
  // there is one, remember the pending choice if it differs from the current one, open the
  // pending choice and make what opened current (0 when it failed; the choice stays remembered,
  // so the next start tries it again). kKeepGone keeps a gone device as that side's choice.
  static constexpr int kKeepGone = -1;
  void apply_midi_setup(int pending_in, int pending_out);
  // The same for audio, except that audio in is never opened or closed.
  void apply_audio_setup(int pending_in, int pending_out);

  // Each setup dialog opens on the devices present now (a server or an interface may have come
  // or gone since start-up), and the window lists them again as they come and go: list that
  // kind again. A current choice follows its entry to its new place; one whose entry is gone
  // becomes none, its device, gone with it, is closed, and its entry is kept as gone; a gone
  // entry that is back is opened again. True when a current choice changed.
  bool relist_midi();
  bool relist_audio();
  const GoneDevices& gone() const { return gone_; }

  // MIDI in, MIDI out, then audio out, each if it is open.
  void close_devices();

  // The settings operation (1-8) on this program's tables and store.
  int settings(int operation, int index);

  const NameTable& midi_table() const { return midi_table_; }
  const NameTable& audio_table() const { return audio_table_; }
  const DeviceIndices& current() const { return current_; }
  // Where the choices are remembered (null: nowhere); the outputs' paces are kept there too.
  SettingsStore* store() const { return store_; }

 private:
  void reopen(DeviceHooks& hooks, int& current, int pending, int write_operation);
  static bool follow(DeviceHooks* hooks, int& current, std::string& gone,
                     const std::vector<std::string>& before, const std::vector<std::string>& now);

  MidiService& midi_;
  AudioService& audio_;
  SettingsStore* store_;
  DeviceHooks none_;
  DeviceHooks* midi_in_ = &none_;
  DeviceHooks* midi_out_ = &none_;
  DeviceHooks* audio_out_ = &none_;
  NameTable midi_table_, audio_table_;
  DeviceIndices current_;
  GoneDevices gone_;
};

}  // namespace brisca
