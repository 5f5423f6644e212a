// What `briscatool send` tells the user on stderr while it sends: the file, the "Total Blocks"
// figure, the share done and the time left (the blocks still to send at the pace in force). On a
// terminal one line is rewritten in place; otherwise each update is a line of its own.
#pragma once

#include <iosfwd>
#include <string>

namespace brisca::cli {

class SendProgress {
 public:
  SendProgress(std::ostream& err, bool live) : err_(err), live_(live) {}

  void begin(int total_blocks);
  // A new "Total Blocks" figure while `file` is being sent, with the time the blocks still to
  // send take (`left_ms`).
  void update(const std::string& file, int figure, int left_ms);
  // A line that stays (a file sent, a message), after the live line if there is one.
  void note(const std::string& text);
  void end();

  // "42%", "1:05 left".
  static std::string line(const std::string& file, int figure, int first, int left_ms);

 private:
  std::ostream& err_;
  bool live_;
  bool line_open_ = false;
  int first_ = 0;
};

}  // namespace brisca::cli
