// briscatool: with a subcommand it runs on the command line; otherwise it opens the window on
// the files and folders named as arguments.
#include <iostream>

#include "app/cli/cli.h"

#ifdef BRISCA_HAVE_GUI
namespace brisca {
int run_program_window(int argc, char** argv);
}
#endif

int main(int argc, char** argv) {
#ifdef BRISCA_HAVE_GUI
  if (!brisca::cli::is_cli_invocation(argc, argv)) return brisca::run_program_window(argc, argv);
#endif
  return brisca::cli::run(argc, argv, {std::cout, std::cerr});
}
