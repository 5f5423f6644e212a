// The `briscatool` command line without the window: subcommands that read, render, play, send
// and monitor from a terminal or a script.
#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pace/pace.h"

namespace brisca {
class BlockSource;
struct ImportSettings;
struct ImportedSound;
struct LevelChoice;
}  // namespace brisca

namespace brisca::cli {

// Exit statuses.
inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;

using Args = std::vector<std::string>;  // the arguments after the subcommand word

struct Streams {
  std::ostream& out;
  std::ostream& err;
};

// True when the first argument names a subcommand (or --help / --version), so the program runs
// without a window.
bool is_cli_invocation(int argc, char** argv);
int run(int argc, char** argv, Streams io);

int cmd_info(const Args& args, Streams io);
int cmd_render(const Args& args, Streams io);
int cmd_devices(const Args& args, Streams io);
int cmd_play(const Args& args, Streams io);
int cmd_send(const Args& args, Streams io);
int cmd_monitor(const Args& args, Streams io);
int cmd_receive(const Args& args, Streams io);
int cmd_import(const Args& args, Streams io);
int cmd_cable(const Args& args, Streams io);
int cmd_web(const Args& args, Streams io);

// Writes every sample `source` plays to `out_path` as a 44 100 Hz 16-bit mono WAV file: how many
// samples, or nothing with the reason (the text after "OUT.wav: ") in `error`.
using WavWriter = std::function<std::optional<std::size_t>(
    BlockSource& source, const std::string& out_path, std::string& error)>;
// `briscatool render SOUND -o OUT.wav`, the WAV file written by `write`: its options, the checks
// of the sound and of the output, the line it prints. Exit status 0, 1 (failed) or 2 (usage).
int render_command(const Args& args, Streams io, const WavWriter& write);

// What `briscatool import` was asked to do, however its options were spelt.
struct ImportCommandOptions {
  std::vector<std::string> audio;
  std::string output;  // -o: one AUDIO only
  std::string folder;  // -d
  std::optional<std::string> name;
  std::string type = "DRUM";
  std::optional<double> rate;
  std::string template_path;
  bool no_trim = false;
  bool force = false;
  Pace pace;                       // the down-load time printed is counted at this pace
  std::string normalize;           // --normalize: "peak", or empty
  std::optional<double> loudness;  // --loudness LUFS
  std::optional<double> gain;      // --gain DB
  bool dry_run = false;            // print what would be made, write nothing
};
// The import settings the options give; a usage problem, or empty.
std::string import_settings(const ImportCommandOptions& options, ImportSettings& settings);
// "OUT.mid: 12 blocks, 0.220 s, down-load 5.0 s, SNR 31.2 dB": what an import made of `what`.
std::string import_result_line(const std::string& what, const ImportedSound& result,
                               const LevelChoice& level);
// Reads the arguments of `briscatool import` into `options` (all but the pace). Returns -1 when
// the import is to go on, otherwise the status to exit with (help shown, usage error).
int parse_import(const Args& args, Streams io, ImportCommandOptions& options);
// Imports each file; 0 when every one was imported, 1 when any failed, 2 for a usage error.
int run_import(const ImportCommandOptions& options, Streams io);

// A subcommand's parser in the form every subcommand shares: "Usage: briscatool NAME ..." and
// its options for --help (printed to standard output, status 0), and for a usage error one line
// "briscatool NAME: what is wrong" followed by the usage line on standard error (status 2).
std::unique_ptr<CLI::App> make_command(std::string_view name, std::string_view description);

// Reads `text` as a number written in decimal, all of it, and writes it back plainly ("010"
// becomes "10"): CLI11's own reading of an option takes a leading 0 for octal and 0x for
// hexadecimal, so every numeric option's check goes through this first. Nothing, with `text`
// as it was, when it is no finite number (no whole number when `whole`: digits, perhaps after
// a minus sign).
std::optional<double> plain_decimal(std::string& text, bool whole);

// The checks of the numeric options read the number in decimal and hand the option its plain
// form, so they are added with ->transform(), not ->check() (which would drop that form).
// A check for an option that takes a positive number (whole when `whole`).
CLI::Validator positive(const std::string& what, bool whole);
// A check for an option that takes any decimal number that `fits` (every finite one without
// it); otherwise the option's error is "needs <what>, not "<text>"". `name` is the check's
// short form in the usage text.
CLI::Validator decimal_check(const std::string& what, std::function<bool(double)> fits = {},
                             const std::string& name = "");

// Parses the arguments after the subcommand word into the options bound on `app`. Returns -1
// when the command is to go on, otherwise the status to exit with (help shown, usage error).
int parse_command(CLI::App& app, const Args& args, Streams io);

}  // namespace brisca::cli
