// Runs the command line in this process, as `briscatool ARGS...` would, and keeps what it printed
// and its exit status.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "app/cli/cli.h"

namespace brisca::cli {

struct CliRun {
  int status;
  std::string out, err;
};

inline CliRun run_cli(std::vector<std::string> args) {
  args.insert(args.begin(), "briscatool");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  std::ostringstream out, err;
  const int status = run(static_cast<int>(argv.size()), argv.data(), {out, err});
  return {status, out.str(), err.str()};
}

// `briscatool import ARGS...`
inline CliRun run_import(std::vector<std::string> args) {
  args.insert(args.begin(), "import");
  return run_cli(std::move(args));
}

}  // namespace brisca::cli
