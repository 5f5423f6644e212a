// The options of `briscatool import` and the imports they ask for, without the settings and
// signals of the desktop program (cmd_import.cpp), so that every front end of the command
// parses and prints alike.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <set>
#include <system_error>

#include "app/cli/cli.h"
#include "import/import_sound.h"
#include "import/sound_shape.h"

namespace brisca::cli {
namespace {

namespace fs = std::filesystem;

// What the level choice did: the gain, the loudness reached, and whether it was limited.
std::string level_note(const ImportedSound& r, const LevelChoice& level) {
  char text[160];
  switch (level.mode) {
    case LevelMode::kAsIs:
      return {};
    case LevelMode::kLoudness:
      if (!std::isfinite(r.loudness_lufs)) return ", silence has no loudness: left as is";
      if (r.limited)
        std::snprintf(text, sizeof text,
                      ", limited to %.1f LUFS (%g LUFS would clip), gain %+.1f dB", r.loudness_lufs,
                      level.value, r.gain_db);
      else
        std::snprintf(text, sizeof text, ", %.1f LUFS, gain %+.1f dB", r.loudness_lufs, r.gain_db);
      return text;
    case LevelMode::kPeak:
    case LevelMode::kGain:
      std::snprintf(text, sizeof text, ", gain %+.1f dB%s", r.gain_db, r.clipped ? ", clips" : "");
      return text;
  }
  return {};
}

}  // namespace

std::string import_result_line(const std::string& what, const ImportedSound& r,
                               const LevelChoice& level) {
  char text[160];
  std::snprintf(text, sizeof text, ": %d blocks, %.3f s, down-load %.1f s, SNR ", r.blocks,
                r.seconds, r.download_seconds);
  return what + text + snr_text(r.snr_db) + level_note(r, level);
}

namespace {

CLI::Validator type_check() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        return valid_type(text) ? std::string()
                                : "needs four printable ASCII characters, not \"" + text + "\"";
      },
      "");
}

}  // namespace

std::string import_settings(const ImportCommandOptions& o, ImportSettings& s) {
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
  s.pace = o.pace;
  const int levels = (o.normalize.empty() ? 0 : 1) + (o.loudness ? 1 : 0) + (o.gain ? 1 : 0);
  if (levels > 1) return "give one of --normalize, --loudness and --gain";
  if (!o.normalize.empty() && o.normalize != "peak") return "--normalize takes \"peak\"";
  if (o.loudness && !std::isfinite(*o.loudness)) return "--loudness needs a finite number";
  if (o.gain && !std::isfinite(*o.gain)) return "--gain needs a finite number";
  if (!o.normalize.empty()) s.level = {LevelMode::kPeak, 0.0};
  if (o.loudness) s.level = {LevelMode::kLoudness, *o.loudness};
  if (o.gain) s.level = {LevelMode::kGain, *o.gain};
  return {};
}

namespace {

// Each file as it would be made, written nowhere.
int dry_run(const ImportCommandOptions& o, const ImportSettings& s, Streams io) {
  bool failed = false;
  for (const std::string& audio : o.audio) {
    const Result<PreparedSound> p = prepare_sound(audio, read_import_source(audio), s);
    if (!p) {
      io.err << audio << ": " << p.message() << '\n';
      failed = true;
      continue;
    }
    io.out << import_result_line(audio, p->figures, s.level) << '\n';
  }
  return failed ? kFailed : kOk;
}

}  // namespace

int run_import(const ImportCommandOptions& o, Streams io) {
  ImportSettings s;
  if (std::string problem = import_settings(o, s); !problem.empty()) {
    io.err << "briscatool import: " << problem
           << "\nRun \"briscatool import --help\" for every option.\n";
    return kUsage;
  }
  std::error_code ec;
  // A dry run writes nothing, not even the folder.
  if (!o.dry_run && !o.folder.empty() && !fs::is_directory(o.folder, ec)) {
    // The cause is what making the folder met (a folder it may not write in, say), not what
    // looking for the folder afterwards found (that it is not there).
    std::error_code made;
    fs::create_directories(o.folder, made);
    if (!fs::is_directory(o.folder, ec)) {
      const std::error_code& why = made ? made : ec;
      io.err << o.folder << ": cannot be made a folder"
             << (why ? " (" + why.message() + ")" : std::string()) << '\n';
      return kFailed;
    }
  }
  if (!o.template_path.empty()) {
    Result<HeaderTemplate> header = read_header_template(o.template_path);
    if (!header) {
      io.err << o.template_path << ": cannot serve as a template (" << header.message() << ")\n";
      return kFailed;
    }
    s.header_template = std::move(*header);
  }
  if (o.dry_run) return dry_run(o, s, io);
  bool failed = false;
  std::set<std::string> written;
  for (const std::string& audio : o.audio) {
    const std::string out = o.output.empty() ? output_path_for(audio, o.folder) : o.output;
    if (!written.insert(fs::weakly_canonical(out, ec).string()).second) {
      io.err << audio << ": " << out << " was written for another file of this run\n";
      failed = true;
      continue;
    }
    const Result<ImportedSound> r = import_audio(audio, out, s);
    if (!r) {
      io.err << audio << ": " << r.message()
             << (r.code() == ErrorCode::Exists ? " (--force replaces it)" : "") << '\n';
      failed = true;
      continue;
    }
    // Flushed: kept in a pipe if a signal ends the run.
    io.out << import_result_line(r->output, *r, s.level) << '\n' << std::flush;
  }
  return failed ? kFailed : kOk;
}

int parse_import(const Args& args, Streams io, ImportCommandOptions& o) {
  std::string name;
  double hz = 0;
  auto app = make_command(
      "import",
      "Makes a sound file of each AUDIO file (any format libsndfile reads, at any rate; the "
      "channels are mixed to one), next to it unless -o or -d says otherwise, and prints its "
      "blocks, duration, down-load time and fidelity (SNR of what the module plays against the "
      "audio after any level change: the level is a choice, not an error). Exit status 0 when "
      "every file was imported, 1 when any failed, 2 for a usage "
      "error.");
  app->add_option("AUDIO", o.audio, "the audio files")->required()->type_name("");
  auto* output = app->add_option("-o,--output", o.output, "the sound file to write (one AUDIO)")
                     ->type_name("OUT.mid");
  app->add_option("-d,--dir", o.folder,
                  "write each sound file into DIR (made when it does not exist), named after its "
                  "audio")
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
          ->transform(decimal_check("a rate from 2757 to 44100 Hz",
                                    [](double rate) { return pitch_for_rate(rate).has_value(); }));
  app->add_option("--template", o.template_path,
                  "copy the header bytes this program does not set (all but name, type and "
                  "block count) and the device byte from SOUND's header block; without it they "
                  "are zero")
      ->type_name("SOUND");
  app->add_flag("--no-trim", o.no_trim,
                "keep the silent end (by default trailing samples below -70 dBFS are cut: "
                "each block costs module memory and 0.42 s to send)");
  app->add_flag("--force", o.force, "replace an existing output file");
  double lufs = 0, gain = 0;
  auto* normalize =
      app->add_option("--normalize", o.normalize,
                      "peak: scale each sound so that what the module plays peaks at full scale "
                      "without clipping")
          ->type_name("peak")
          ->check(CLI::IsMember({"peak"}));
  // A loudness or gain: any finite number; "nan" or "inf" would make a silent or square sound.
  auto* loudness_option =
      app->add_option("--loudness", lufs,
                      "bring each sound to this integrated loudness (EBU R128, e.g. -16) as the "
                      "module plays it, a sound shorter than 400 ms measured over its whole "
                      "length; limited so that nothing clips (the line then says so and what "
                      "loudness it got)")
          ->type_name("LUFS")
          ->transform(decimal_check("a finite number of LUFS"))
          ->excludes(normalize);
  app->add_option("--gain", gain, "add a fixed gain in dB")
      ->type_name("DB")
      ->transform(decimal_check("a finite number of dB"))
      ->excludes(normalize)
      ->excludes(loudness_option);
  app->add_flag("--dry-run", o.dry_run,
                "print blocks, duration, down-load time and SNR of each sound and write nothing");
  app->callback([&] {
    if (!o.output.empty() && o.audio.size() > 1)
      throw CLI::ValidationError("-o takes one AUDIO; use -d DIR for several");
  });
  if (const int status = parse_command(*app, args, io); status >= 0) return status;
  if (name_option->count() > 0) o.name = name;
  if (rate_option->count() > 0) o.rate = hz;
  if (loudness_option->count() > 0) o.loudness = lufs;
  if (app->get_option("--gain")->count() > 0) o.gain = gain;
  return -1;
}

}  // namespace brisca::cli
