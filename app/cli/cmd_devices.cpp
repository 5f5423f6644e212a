#include <ostream>

#include "app/cli/cli.h"

namespace brisca::cli {

int cmd_devices(const Args&, Streams io) {
  io.err << "briscatool devices: not available in this build\n";
  return kFailed;
}

}  // namespace brisca::cli
