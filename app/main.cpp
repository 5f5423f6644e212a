// briscatool: with a subcommand it runs on the command line; otherwise it opens the window on
// the files and folders named as arguments.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/cli/cli.h"
#include "platform/core/bounded_close.h"

#ifdef BRISCA_HAVE_GUI
namespace brisca {
int run_program_window(int argc, char** argv);
}
#endif

namespace {

// A device close given up on (a sound server that does not answer) may still run on its thread,
// inside the sound library: the library's clean-up at exit would meet it there, and could wait
// for it. Such a program ends at once, its output written out first.
int end_program(int code) {
  using namespace std::chrono_literals;
  if (brisca::closes_finished(200ms)) return code;
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  std::_Exit(code);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef BRISCA_HAVE_GUI
  if (!brisca::cli::is_cli_invocation(argc, argv))
    return end_program(brisca::run_program_window(argc, argv));
#endif
  return end_program(brisca::cli::run(argc, argv, {std::cout, std::cerr}));
}
