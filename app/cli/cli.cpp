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

constexpr std::array<Command, 10> kCommands{{
    {"info", cmd_info, "block counts, header names and types of sound files"},
    {"render", cmd_render, "write what preview plays of a sound as a WAV file"},
    {"devices", cmd_devices, "list the MIDI and audio devices"},
    {"play", cmd_play, "play a sound on an audio output"},
    {"send", cmd_send, "down-load sounds to the module"},
    {"monitor", cmd_monitor, "show the MIDI that arrives, as the monitor fields do"},
    {"import", cmd_import, "make sound files of audio files"},
    {"receive", cmd_receive, "save the sound dumps that arrive as sound files"},
    {"cable", cmd_cable, "test a MIDI cable loop and find the pace it carries"},
    {"web", cmd_web, "serve the web edition's page on 127.0.0.1"},
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

}  // namespace brisca::cli
