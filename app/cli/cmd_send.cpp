#include <ostream>

#include "app/cli/cli.h"

namespace brisca::cli {

int cmd_send(const Args&, Streams io) {
  io.err << "briscatool send: not available in this build\n";
  return kFailed;
}

}  // namespace brisca::cli
