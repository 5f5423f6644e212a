// The `briscatool` command line without the window: subcommands that read, render, play, send
// and monitor from a terminal or a script.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

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

// Splits options from paths: "--name value", "--name=value", flags; "--" ends the options.
struct Parsed {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;  // name (without --), value
  std::string error;                                         // non-empty on a usage error
  bool has(const std::string& name) const;
  std::string value(const std::string& name, const std::string& fallback = {}) const;
};
// `flags` take no value; `valued` take one; anything else starting with "-" is an error.
Parsed parse_args(const Args& args, const std::vector<std::string>& flags,
                  const std::vector<std::string>& valued);

}  // namespace brisca::cli
