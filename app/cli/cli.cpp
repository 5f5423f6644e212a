#include "app/cli/cli.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <ostream>
#include <string>
#include <string_view>

namespace brisca::cli {
namespace {

struct Command {
  std::string_view name;
  int (*run)(const Args&, Streams);
  std::string_view synopsis;
};

constexpr std::array<Command, 9> kCommands{{
    {"info", cmd_info, "block counts, header names and types of sound files"},
    {"render", cmd_render, "write what preview plays of a sound as a WAV file"},
    {"devices", cmd_devices, "list the MIDI and audio devices"},
    {"play", cmd_play, "play a sound on an audio output"},
    {"send", cmd_send, "down-load sounds to the module"},
    {"monitor", cmd_monitor, "show the MIDI that arrives, as the monitor fields do"},
    {"import", cmd_import, "make sound files of audio files"},
    {"receive", cmd_receive, "save the sound dumps that arrive as sound files"},
    {"cable", cmd_cable, "test a MIDI cable loop and find the pace it carries"},
}};

const Command* find_command(std::string_view word) {
  auto it = std::find_if(kCommands.begin(), kCommands.end(),
                         [&](const Command& c) { return c.name == word; });
  return it == kCommands.end() ? nullptr : &*it;
}

void print_help(std::ostream& out) {
  out << "Usage: briscatool [PATH...]\n"
         "   or: briscatool COMMAND [OPTIONS] [ARGS...]\n\n"
         "Without a COMMAND, opens the window with the sound files named; a PATH is a sound file\n"
         "or a folder (its files, not sub-folders). To open a file named like a command in the\n"
         "window, write it as ./NAME.\n\nCommands:\n";
  for (const Command& c : kCommands) {
    std::string name(c.name);
    name.resize(std::max<std::size_t>(name.size() + 2, 10), ' ');
    out << "  " << name << c.synopsis << '\n';
  }
  out << "\nRun \"briscatool COMMAND --help\" for a command's options and exit statuses.\n";
}

}  // namespace

bool is_cli_invocation(int argc, char** argv) {
  if (argc < 2) return false;
  std::string_view first = argv[1];
  return find_command(first) != nullptr || first == "--help" || first == "-h" ||
         first == "--version";
}

int run(int argc, char** argv, Streams io) {
  std::string_view first = argc > 1 ? argv[1] : "";
  if (first == "--help" || first == "-h") {
    print_help(io.out);
    return kOk;
  }
  if (first == "--version") {
    io.out << "briscatool 1.10\n";
    return kOk;
  }
  const Command* command = find_command(first);
  if (command == nullptr) {
    print_help(io.err);
    return kUsage;
  }
  Args args(argv + 2, argv + argc);
  return command->run(args, io);
}

namespace {

// The usage line and option list of --help, with the program's name in front of the
// subcommand's ("briscatool send" rather than "send").
class CommandFormatter : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App* app, std::string name) const override {
    return CLI::Formatter::make_usage(app, "briscatool " + name);
  }
};

}  // namespace

std::unique_ptr<CLI::App> make_command(std::string_view name, std::string_view description) {
  auto app = std::make_unique<CLI::App>(std::string(description), std::string(name));
  app->formatter(std::make_shared<CommandFormatter>());
  app->get_formatter()->column_width(28);
  return app;
}

std::optional<double> plain_decimal(std::string& text, bool whole) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  char plain[32];
  std::to_chars_result written{};
  double number = 0;
  if (whole) {
    long long value = 0;
    auto [stop, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || stop != end) return std::nullopt;
    written = std::to_chars(plain, plain + sizeof plain, value);
    number = static_cast<double>(value);
  } else {
    auto [stop, ec] = std::from_chars(begin, end, number);
    if (ec != std::errc() || stop != end || !std::isfinite(number)) return std::nullopt;
    written = std::to_chars(plain, plain + sizeof plain, number);
  }
  text.assign(plain, written.ptr);
  return number;
}

CLI::Validator positive(const std::string& what, bool whole) {
  return CLI::Validator(
      [what, whole](std::string& text) -> std::string {
        const std::string given = text;
        const std::optional<double> value = plain_decimal(text, whole);
        if (!value || !(*value > 0) || *value > 1e9)
          return "needs a positive " + std::string(whole ? "whole number" : "number") + " of " +
                 what + ", not \"" + given + "\"";
        return {};
      },
      whole ? "N>0" : "S>0");
}

int parse_command(CLI::App& app, const Args& args, Streams io) {
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    io.out << app.help();
    return kOk;
  } catch (const CLI::ParseError& e) {
    io.err << "briscatool " << app.get_name() << ": " << e.what() << '\n'
           << CommandFormatter{}.make_usage(&app, app.get_name()) << "Run \"briscatool "
           << app.get_name() << " --help\" for every option.\n";
    return kUsage;
  }
  return -1;
}

}  // namespace brisca::cli
