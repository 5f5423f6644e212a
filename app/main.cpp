// briscatool: with a subcommand it runs on the command line; otherwise it opens the window on
// the files and folders named as arguments.
#include <iostream>

#include "app/cli/cli.h"

int main(int argc, char** argv) {
  if (brisca::cli::is_cli_invocation(argc, argv) || true)
    return brisca::cli::run(argc, argv, {std::cout, std::cerr});
}
