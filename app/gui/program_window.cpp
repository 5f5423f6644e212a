#include "app/gui/program_window.h"

#include <QMessageBox>

#include "app/devices/device_follower.h"
#include "app/devices/pace_settings.h"
#include "app/devices/services.h"
#include "app/gui/cable_dialog.h"
#include "app/gui/main_window.h"
#include "app/gui/run_window.h"
#include "soundlist/gather.h"

namespace brisca {
namespace {

// The devices in use, and the outputs chosen but unplugged.
void show_devices(MainWindow& window, const DeviceChoices& choices) {
  const DeviceIndices& d = choices.current();
  window.set_current_devices(CurrentDevices{d.midi_in, d.midi_out, d.audio_in, d.audio_out});
  window.set_unplugged(UnpluggedOutputs{device_name_of(choices.gone().midi_out),
                                        device_name_of(choices.gone().audio_out)});
}

}  // namespace

Program::Program() : midi(make_midi_service()), audio(make_audio_service()) {}
Program::~Program() = default;

WindowHooks Program::attach(MainWindow& window) {
  monitor = std::make_unique<MonitorWindowHooks>(
      *midi, window.clock(),
      [&window](MonitorField field, const std::string& text) {
        window.set_monitor_text(field, text);
      },
      [&window](const std::string& line) { window.set_monitor_status(line); });
  download = std::make_unique<DownloadWindowHooks>(
      *midi, window.sound_list(), window.clock(),
      [&window](const Notice& notice) { return window.ask(notice); });
  download->set_status_line(
      [&window](const std::string& text, bool stays) { window.show_status(text, stays); });
  download->set_pace_source([this](int choice) {
    const std::vector<std::string>& outputs = choices->midi_table().out;
    if (choice <= 0 || static_cast<std::size_t>(choice) >= outputs.size()) return Pace{};
    return pace_for_output(&store, outputs[static_cast<std::size_t>(choice)]);
  });
  player = std::make_unique<PreviewPlayer>(*audio, window.clock());
  preview = std::make_unique<PlayerPreviewHooks>(*player);
  choices = std::make_unique<DeviceChoices>(*midi, *audio, &store);
  choices->set_hooks(monitor.get(), download.get(), preview.get());
  choices->start_midi();  // a new down-load sequencer starts with its state clear
  choices->start_audio();
  player->clear_state();
  show_devices(window, *choices);
  window.set_download_pace(download->pace());
  window.set_settings_store(&store);
  setup = std::make_unique<DialogSetupHooks>(*choices, [this, &window] {
    show_devices(window, *choices);
    window.set_download_pace(download->pace());
  });
  setup->on_test_cable([this, &window](QWidget* parent) { test_cable(parent, window); });
  DeviceFollower::Ports follow;
  follow.status = [&window](const std::string& text, bool stays) {
    window.show_status(text, stays);
  };
  follow.relisted = [this] { setup->relisted(); };
  follow.playing = [this] { return preview->playing(); };
  window.follow_devices(
      std::make_unique<DeviceFollower>(*choices, *midi, *audio, window.clock(), std::move(follow)));
  receive = std::make_unique<DialogReceiveHooks>(
      monitor->port(), &store,
      [&window](const std::string& path) { Gatherer(window.sound_list()).add_path(path); });
  return WindowHooks{preview.get(), download.get(), monitor.get(), setup.get(), receive.get()};
}

// On the window's MIDI output and input, while no down-load goes on (the dialog is modal, so
// none starts meanwhile).
void Program::test_cable(QWidget* parent, MainWindow& window) {
  if (download->is_sending()) {
    QMessageBox::information(parent, QStringLiteral("Test Cable"),
                             QStringLiteral("A down-load is going on: test the cable when it "
                                            "has finished."));
    return;
  }
  const DeviceIndices& current = choices->current();
  const NameTable& table = choices->midi_table();
  CableEntries entries{current.midi_out, current.midi_in, {}, {}};
  if (current.midi_out > 0) entries.out_entry = table.out[std::size_t(current.midi_out)];
  if (current.midi_in > 0) entries.in_entry = table.in[std::size_t(current.midi_in)];
  // A pace kept for the window's output is the one its next down-load goes at.
  const std::string output = entries.out_entry;
  CableDialog dialog(
      *midi, &store, entries,
      [this, &window, output] {
        download->download().sequencer().set_pace(pace_for_output(&store, output));
        window.set_download_pace(download->pace());
      },
      parent);
  dialog.exec();
}

int run_program_window(int argc, char** argv) {
  // Made once the application has started (a display that cannot be opened ends the program
  // before any device is open); it outlives the window, whose tear-down closes the devices.
  std::unique_ptr<Program> program;
  return run_window(argc, argv, [&program](MainWindow& window) {
    program = std::make_unique<Program>();
    return program->attach(window);
  });
}

}  // namespace brisca
