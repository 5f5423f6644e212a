#include "app/cli/send_progress.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ostream>

namespace brisca::cli {

void SendProgress::begin(int total_blocks, Clock::time_point now) {
  first_ = total_blocks;
  start_ = now;
}

// The figure drops as a message starts: the messages finished are one fewer than started.
std::string SendProgress::line(const std::string& file, int figure, int first, double elapsed_s) {
  const int finished = std::clamp(first - figure - 1, 0, std::max(first, 0));
  const int percent = first > 0 ? finished * 100 / first : 0;
  char left[32] = "--:--";
  if (finished > 0 && figure >= 0) {
    const long seconds = static_cast<long>(elapsed_s / finished * (figure + 1) + 0.5);
    std::snprintf(left, sizeof left, "%ld:%02ld", seconds / 60, seconds % 60);
  }
  char text[64];
  std::snprintf(text, sizeof text, "  Total Blocks %4d  %3d%%  %s left", figure, percent, left);
  return file + text;
}

void SendProgress::update(const std::string& file, std::string_view total_text,
                          Clock::time_point now) {
  std::string_view digits = total_text;
  while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
  int figure = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), figure);
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const std::string text = line(file, figure, first_, elapsed);
  if (live_) {
    err_ << '\r' << text << "\x1b[K" << std::flush;
    line_open_ = true;
  } else {
    err_ << text << '\n';
  }
}

void SendProgress::note(const std::string& text) {
  if (line_open_) err_ << "\r\x1b[K";
  line_open_ = false;
  err_ << text << '\n';
}

void SendProgress::end() {
  if (line_open_) err_ << '\n';
  line_open_ = false;
  err_.flush();
}

}  // namespace brisca::cli
