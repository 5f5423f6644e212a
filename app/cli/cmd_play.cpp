#include <ostream>

#include "app/cli/cli.h"

namespace brisca::cli {

int cmd_play(const Args&, Streams io) {
  io.err << "briscatool play: not available in this build\n";
  return kFailed;
}

}  // namespace brisca::cli
