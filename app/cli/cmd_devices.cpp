// briscatool devices [--json]: the four device name tables exactly as the setup dialogs list
// them, entry 0 first.
#include <ostream>

#include "app/cli/cli.h"
#include "app/cli/json.h"
#include "app/devices/name_tables.h"
#include "app/devices/services.h"

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

}  // namespace

int cmd_devices(const Args& args, Streams io) {
  bool json = false;
  auto app = make_command(
      "devices", "Lists the MIDI and audio devices as the setup dialogs list them, entry 0 first.");
  app->add_flag("--json", json, "print a JSON object of the four tables");
  if (const int status = parse_command(*app, args, io); status >= 0) return status;
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
