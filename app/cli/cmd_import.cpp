// briscatool import AUDIO... [-o OUT.mid | -d DIR] [--name NAME] [--type TYPE] [--rate HZ]
// [--template SOUND] [--no-trim] [--force] [--normalize peak | --loudness LUFS | --gain DB]
// [--dry-run]: makes a sound file of each audio file and prints what it made, its down-load
// time at the pace remembered for the remembered MIDI output.
#include "app/cli/cli.h"
#include "app/devices/pace_settings.h"
#include "app/devices/qt_settings_store.h"
#include "app/end_signals.h"

namespace brisca::cli {

int cmd_import(const Args& args, Streams io) {
  ImportCommandOptions o;
  if (const int status = parse_import(args, io, o); status >= 0) return status;
  QtSettingsStore store;
  o.pace = remembered_output_pace(&store);
  RemoveUnfinishedOnSignals unfinished;  // an interrupted import leaves no temporary file
  return run_import(o, io);
}

}  // namespace brisca::cli
