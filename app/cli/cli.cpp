#include "app/cli/cli.h"

#include <algorithm>
#include <array>
#include <ostream>
#include <string_view>

namespace brisca::cli {
namespace {

struct Command {
  std::string_view name;
  int (*run)(const Args&, Streams);
  std::string_view synopsis;
};

constexpr std::array<Command, 6> kCommands{{
    {"info", cmd_info, "info [--json] PATH...          block counts and header names"},
    {"render", cmd_render, "render SOUND -o OUT.wav        write what preview plays as WAV"},
    {"devices", cmd_devices, "devices [--json]               list MIDI and audio devices"},
    {"play", cmd_play, "play SOUND [--audio-out ENTRY] play a sound on an audio output"},
    {"send", cmd_send, "send [--midi-out ENTRY] PATH... down-load sounds to the module"},
    {"monitor", cmd_monitor,
     "monitor [--midi-in ENTRY] [--seconds S] [--count N]  show incoming MIDI"},
}};

const Command* find_command(std::string_view word) {
  auto it = std::find_if(kCommands.begin(), kCommands.end(),
                         [&](const Command& c) { return c.name == word; });
  return it == kCommands.end() ? nullptr : &*it;
}

void print_help(std::ostream& out) {
  out << "Usage: briscatool [PATH...]          open the window with these sound files\n"
         "       briscatool COMMAND [ARGS...]\n\nCommands:\n";
  for (const Command& c : kCommands) out << "  " << c.synopsis << '\n';
  out << "\nA PATH is a sound file or a folder (its files, not sub-folders).\n"
         "To open a file named like a command in the window, write it as ./NAME.\n";
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

bool Parsed::has(const std::string& name) const {
  return std::any_of(options.begin(), options.end(),
                     [&](const auto& o) { return o.first == name; });
}

std::string Parsed::value(const std::string& name, const std::string& fallback) const {
  for (auto it = options.rbegin(); it != options.rend(); ++it)
    if (it->first == name) return it->second;
  return fallback;
}

Parsed parse_args(const Args& args, const std::vector<std::string>& flags,
                  const std::vector<std::string>& valued) {
  Parsed p;
  auto contains = [](const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
  };
  bool options_done = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_done || a.size() < 2 || a[0] != '-') {
      p.positional.push_back(a);
      continue;
    }
    if (a == "--") {
      options_done = true;
      continue;
    }
    std::string name = a.substr(a[1] == '-' ? 2 : 1);
    std::string value;
    bool inline_value = false;
    if (auto eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      inline_value = true;
    }
    if (contains(flags, name) && !inline_value) {
      p.options.emplace_back(name, "");
    } else if (contains(valued, name)) {
      if (!inline_value) {
        if (i + 1 >= args.size()) {
          p.error = "option --" + name + " needs a value";
          return p;
        }
        value = args[++i];
      }
      p.options.emplace_back(name, value);
    } else {
      p.error = "unknown option " + a;
      return p;
    }
  }
  return p;
}

}  // namespace brisca::cli
