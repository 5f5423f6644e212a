// briscatool import AUDIO... [-o OUT.mid | -d DIR] [--name NAME] [--type TYPE] [--rate HZ]
// [--template SOUND] [--no-trim] [--force]: makes a sound file of each audio file and prints
// what it made.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <set>
#include <system_error>

#include "app/cli/cli.h"
#include "app/end_signals.h"
#include "import/import_sound.h"
#include "import/sound_shape.h"

namespace brisca::cli {
namespace {

namespace fs = std::filesystem;

std::string result_line(const ImportResult& r) {
  char text[160];
  std::snprintf(text, sizeof text, ": %d blocks, %.3f s, down-load %.1f s, SNR %.1f dB", r.blocks,
                r.seconds, r.download_seconds, r.snr_db);
  return r.output + text;
}

CLI::Validator type_check() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        return valid_type(text) ? std::string()
                                : "needs four printable ASCII characters, not \"" + text + "\"";
      },
      "");
}

CLI::Validator rate_check() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        double value = 0;
        const char* end = text.data() + text.size();
        auto [stop, ec] = std::from_chars(text.data(), end, value);
        if (ec != std::errc() || stop != end || !pitch_for_rate(value))
          return "needs a rate from 2757 to 44100 Hz, not \"" + text + "\"";
        return {};
      },
      "");
}

// The settings the options give, or a usage problem.
std::string settings_from(const ImportCommandOptions& o, ImportSettings& s) {
  if (o.audio.empty()) return "no AUDIO given";
  if (!o.output.empty() && !o.folder.empty()) return "give -o or -d, not both";
  if (!o.output.empty() && o.audio.size() > 1) return "-o takes one AUDIO; use -d DIR for several";
  if (!valid_type(o.type)) return "--type needs exactly four printable ASCII characters";
  if (o.rate) {
    auto pitch = pitch_for_rate(*o.rate);
    if (!pitch) return "--rate must lie between 2757 and 44100";
    s.pitch = *pitch;
  }
  s.name = o.name;
  s.type = o.type;
  s.trim = !o.no_trim;
  s.replace = o.force;
  return {};
}

}  // namespace

int run_import(const ImportCommandOptions& o, Streams io) {
  ImportSettings s;
  if (std::string problem = settings_from(o, s); !problem.empty()) {
    io.err << "briscatool import: " << problem
           << "\nRun \"briscatool import --help\" for every option.\n";
    return kUsage;
  }
  std::error_code ec;
  if (!o.folder.empty() && !fs::is_directory(o.folder, ec)) {
    io.err << o.folder << ": no such folder\n";
    return kFailed;
  }
  if (!o.template_path.empty()) {
    std::string error;
    s.header_template = read_header_template(o.template_path, error);
    if (!s.header_template) {
      io.err << o.template_path << ": cannot serve as a template (" << error << ")\n";
      return kFailed;
    }
  }
  bool failed = false;
  std::set<std::string> written;
  for (const std::string& audio : o.audio) {
    const std::string out = o.output.empty() ? output_path_for(audio, o.folder) : o.output;
    if (!written.insert(fs::weakly_canonical(out, ec).string()).second) {
      io.err << audio << ": " << out << " was written for another file of this run\n";
      failed = true;
      continue;
    }
    ImportResult r = import_audio(audio, out, s);
    if (!r.ok()) {
      io.err << audio << ": " << r.error << (r.output_exists ? " (--force replaces it)" : "")
             << '\n';
      failed = true;
      continue;
    }
    io.out << result_line(r) << '\n' << std::flush;  // kept in a pipe if a signal ends the run
  }
  return failed ? kFailed : kOk;
}

int cmd_import(const Args& args, Streams io) {
  ImportCommandOptions o;
  std::string name;
  double hz = 0;
  auto app = make_command(
      "import",
      "Makes a sound file of each AUDIO file (any format libsndfile reads, at any rate; the "
      "channels are mixed to one), next to it unless -o or -d says otherwise, and prints its "
      "blocks, duration, down-load time and fidelity (SNR of what the module plays against the "
      "audio). Exit status 0 when every file was imported, 1 when any failed, 2 for a usage "
      "error.");
  app->add_option("AUDIO", o.audio, "the audio files")->required()->type_name("");
  auto* output = app->add_option("-o,--output", o.output, "the sound file to write (one AUDIO)")
                     ->type_name("OUT.mid");
  app->add_option("-d,--dir", o.folder, "write each sound file into DIR, named after its audio")
      ->type_name("DIR")
      ->excludes(output);
  auto* name_option = app->add_option("--name", name,
                                      "the sound's name (default: the file name); at most 31 "
                                      "ASCII characters, accents dropped, others written as _")
                          ->type_name("NAME");
  app->add_option("--type", o.type, "the sound's four-character type (default DRUM)")
      ->type_name("TYPE")
      ->check(type_check());
  auto* rate_option =
      app->add_option("--rate", hz,
                      "the sound's rate, 2757 to 44100 (default 44100), rounded to the nearest "
                      "44100 x 2^(-b/8) of a pitch byte b: a lower rate makes fewer blocks, "
                      "quicker to send, with less treble")
          ->type_name("HZ")
          ->check(rate_check());
  app->add_option("--template", o.template_path,
                  "copy the header bytes this program does not set (all but name, type and "
                  "block count) and the device byte from SOUND's header block; without it they "
                  "are zero")
      ->type_name("SOUND");
  app->add_flag("--no-trim", o.no_trim,
                "keep the silent end (by default trailing samples below -70 dBFS are cut: "
                "each block costs module memory and 0.42 s to send)");
  app->add_flag("--force", o.force, "replace an existing output file");
  app->callback([&] {
    if (!o.output.empty() && o.audio.size() > 1)
      throw CLI::ValidationError("-o takes one AUDIO; use -d DIR for several");
  });
  if (const int status = parse_command(*app, args, io); status >= 0) return status;
  if (name_option->count() > 0) o.name = name;
  if (rate_option->count() > 0) o.rate = hz;
  RemoveUnfinishedOnSignals signals;  // an interrupted import leaves no temporary file
  return run_import(o, io);
}

}  // namespace brisca::cli
