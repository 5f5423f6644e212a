// briscatool devices [--json] [--watch]: the four device name tables exactly as the setup dialogs
// list them, entry 0 first; or, with --watch, one line per device that comes or goes, named as the
// services list it, until SIGINT or SIGTERM.
#include <ostream>

#include "app/cli/cli.h"
#include "app/cli/json.h"
#include "app/cli/midi_commands.h"
#include "app/devices/name_tables.h"
#include "app/devices/services.h"
#include "common/loop_clock.h"

namespace brisca::cli {
namespace {

struct Table {
  const char* key;
  const char* label;
  const std::vector<std::string>* entries;
};

void print_text(const std::vector<Table>& tables, std::ostream& out) {
  for (const Table& t : tables) {
    out << t.label << '\n';
    for (std::size_t i = 0; i < t.entries->size(); ++i)
      out << "  " << i << "  " << (*t.entries)[i] << '\n';
  }
}

void print_json(const std::vector<Table>& tables, std::ostream& out) {
  out << "{\n";
  for (std::size_t t = 0; t < tables.size(); ++t) {
    out << "  " << json_string(tables[t].key) << ": [";
    const auto& entries = *tables[t].entries;
    for (std::size_t i = 0; i < entries.size(); ++i)
      out << (i > 0 ? ", " : "") << json_string(entries[i]);
    out << "]" << (t + 1 < tables.size() ? "," : "") << '\n';
  }
  out << "}\n";
}

// "added midi-out JACK: synth:in", or as JSON {"change":"added","kind":"midi_out","name":...}.
class ChangePrinter final : public DeviceWatchListener {
 public:
  ChangePrinter(std::ostream& out, bool json) : out_(out), json_(json) {}
  void device_changed(const DeviceEvent& event) override {
    const char* change = event.change == DeviceChange::Added ? "added" : "removed";
    const char* kind = event.kind == DeviceKind::MidiIn    ? "midi_in"
                       : event.kind == DeviceKind::MidiOut ? "midi_out"
                                                           : "audio_out";
    if (json_) {
      out_ << "{\"change\": " << json_string(change) << ", \"kind\": " << json_string(kind)
           << ", \"name\": " << json_string(event.name) << "}\n";
    } else {
      std::string label(kind);
      label[label.find('_')] = '-';
      out_ << change << ' ' << label << ' ' << event.name << '\n';
    }
    out_.flush();
  }

 private:
  std::ostream& out_;
  bool json_;
};

int print_device_changes(bool json, Streams io) {
  InterruptGuard signals;
  LoopClock clock;
  ChangePrinter printer(io.out, json);
  const auto midi = make_midi_service();
  const auto audio = make_audio_service();
  const DeviceWatches watches = watch_devices(*midi, *audio, clock, printer);
  if (!watches.midi && !watches.audio) {
    io.err << "briscatool devices: no sound server here tells of devices coming and going\n";
    return kFailed;
  }
  io.err << "Watching for devices coming and going (Ctrl-C to stop)\n" << std::flush;
  clock.run([] { return InterruptGuard::count() > 0; });
  return kOk;
}

}  // namespace

int cmd_devices(const Args& args, Streams io) {
  bool json = false;
  bool watch = false;
  auto app = make_command(
      "devices", "Lists the MIDI and audio devices as the setup dialogs list them, entry 0 first.");
  app->add_flag("--json", json, "print a JSON object of the four tables");
  app->add_flag("--watch", watch,
                "print a line for each device that comes or goes (a JSON object a line with "
                "--json), until Ctrl-C");
  if (const int status = parse_command(*app, args, io); status >= 0) return status;
  if (watch) return print_device_changes(json, io);
  const NameTable midi = fill_midi_table(*make_midi_service());
  const NameTable audio = fill_audio_table(*make_audio_service());
  const std::vector<Table> tables{{"midi_in", "MIDI In Devices", &midi.in},
                                  {"midi_out", "MIDI Out Devices", &midi.out},
                                  {"audio_in", "Audio In Devices", &audio.in},
                                  {"audio_out", "Audio Out Devices", &audio.out}};
  if (json)
    print_json(tables, io.out);
  else
    print_text(tables, io.out);
  return kOk;
}

}  // namespace brisca::cli
