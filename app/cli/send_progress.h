// What `briscatool send` tells the user on stderr while it sends: the file, the "Total Blocks"
// figure, the share done and the time left. On a terminal one line is rewritten in place;
// otherwise each update is a line of its own.
#pragma once

#include <chrono>
#include <iosfwd>
#include <string>
#include <string_view>

namespace brisca::cli {

class SendProgress {
 public:
  using Clock = std::chrono::steady_clock;
  SendProgress(std::ostream& err, bool live) : err_(err), live_(live) {}

  void begin(int total_blocks, Clock::time_point now = Clock::now());
  // A new "Total Blocks" text while `file` is being sent.
  void update(const std::string& file, std::string_view total_text,
              Clock::time_point now = Clock::now());
  // A line that stays (a file sent, a message), after the live line if there is one.
  void note(const std::string& text);
  void end();

  // "42%", "1:05 left" (or "--:-- left" before anything was sent).
  static std::string line(const std::string& file, int figure, int first, double elapsed_s);

 private:
  std::ostream& err_;
  bool live_;
  bool line_open_ = false;
  int first_ = 0;
  Clock::time_point start_{};
};

}  // namespace brisca::cli
