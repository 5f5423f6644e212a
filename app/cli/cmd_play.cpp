// briscatool play SOUND... [--audio-out ENTRY]: plays sounds one after another through the
// preview engine on an audio output (ENTRY: an entry text of the audio-out table or its index;
// by default the remembered audio-out choice) and returns once the last one's last buffer is
// done. A playlist SOUND stands for the sounds it lists, in its order.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <ostream>

#include "app/cli/cli.h"
#include "app/cli/midi_commands.h"
#include "app/cli/playlist_args.h"
#include "app/devices/qt_settings_store.h"
#include "app/devices/services.h"
#include "app/devices/settings.h"
#include "common/loop_clock.h"
#include "preview/preview_player.h"
#include "soundfile/track_reader.h"

namespace brisca::cli {
namespace {

bool all_digits(const std::string& s) {
  return !s.empty() &&
         std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// The entry index ENTRY names in the audio-out table, or -1.
int entry_index(const NameTable& audio, const std::string& entry) {
  if (all_digits(entry)) {
    if (entry.size() > 3) return -1;
    const int index = std::stoi(entry);
    return index < audio.out_count() ? index : -1;
  }
  const int found = find_entry(audio.out, entry);
  return found > 0 || entry == audio.out[0] ? found : -1;
}

// The chosen output: --audio-out, or the remembered choice. -1 after printing why not.
int chosen_output(const std::optional<std::string>& wanted, const NameTable& audio,
                  std::ostream& err) {
  if (!wanted) {
    QtSettingsStore store;
    return settings_operation(kReadAudioOut, 0, &store, NameTable{}, audio);
  }
  const std::string& entry = *wanted;
  const int index = entry_index(audio, entry);
  if (index < 0)
    err << "briscatool play: no audio output \"" << entry << "\" (briscatool devices lists them)\n";
  return index;
}

std::pair<std::string, std::string> split_path(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {"", path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

}  // namespace

int cmd_play(const Args& args, Streams io) {
  std::vector<std::string> sounds;
  std::optional<std::string> audio_out;
  auto app = make_command(
      "play", "Plays sound files on an audio output, one after another, as preview does.");
  app->add_option("SOUND", sounds, "a sound file, or a playlist (.m3u: its sounds, in order)")
      ->required()
      ->type_name("");
  app->add_option("--audio-out", audio_out,
                  "the output's number or name as `briscatool devices` lists it (default: the "
                  "remembered choice)")
      ->type_name("ENTRY");
  if (const int status = parse_command(*app, args, io); status >= 0) return status;
  // What a playlist could not give is told and the rest is played; the command then fails.
  const ExpandedPaths expanded = expand_playlists(sounds, io.err, "played");
  if (expanded.paths.empty()) return kFailed;
  for (const std::string& path : expanded.paths) {
    if (const auto track = TrackReader::open(path); !track && track.code() != ErrorCode::BadFile) {
      io.err << path << ": cannot be opened (" << unopened_file_reason(path) << ")" << '\n';
      return kFailed;
    }
  }
  InterruptGuard guard;
  auto service = make_audio_service();
  const NameTable audio = fill_audio_table(*service);
  const int choice = chosen_output(audio_out, audio, io.err);
  if (choice < 0) return kUsage;
  if (choice == 0) {
    io.err << "briscatool play: no audio output chosen; name one with --audio-out "
              "(briscatool devices lists them)\n";
    return kFailed;
  }

  LoopClock clock;
  bool bad_file = false;
  PreviewPlayer player(*service, clock);
  if (!player.open(choice)) {
    io.err << "briscatool play: cannot open \"" << audio.out[static_cast<std::size_t>(choice)]
           << "\"\n";
    return kFailed;
  }
  // Ctrl-C, SIGTERM or SIGHUP stop the sound and those after it; the output is closed before
  // returning.
  bool stopped = false;
  for (const std::string& path : expanded.paths) {
    const auto [directory, name] = split_path(path);
    if (const Status started = player.start_preview(directory, name);
        !started && started.code() == ErrorCode::BadFile) {
      io.err << file_name_of(path) << ": " << started.message() << '\n';
      bad_file = true;
    }
    clock.run([&] { return !player.busy() || InterruptGuard::count() > 0; });
    stopped = player.busy() || InterruptGuard::count() > 0;
    if (stopped || player.device_failed()) break;
  }
  const bool lost = player.device_failed();
  player.close();
  if (lost) io.err << "briscatool play: the audio output went away during playback\n";
  if (stopped && !lost) io.err << "briscatool play: stopped\n";
  return bad_file || lost || expanded.failed ? kFailed : kOk;
}

}  // namespace brisca::cli
