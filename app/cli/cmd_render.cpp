#include <ostream>

#include "app/cli/cli.h"

namespace brisca::cli {

int cmd_render(const Args&, Streams io) {
  io.err << "briscatool render: not available in this build\n";
  return kFailed;
}

}  // namespace brisca::cli
