#include <ostream>

#include "app/cli/cli.h"

namespace brisca::cli {

int cmd_monitor(const Args&, Streams io) {
  io.err << "briscatool monitor: not available in this build\n";
  return kFailed;
}

}  // namespace brisca::cli
