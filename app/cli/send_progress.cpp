#include "app/cli/send_progress.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "download/sequencer.h"

namespace brisca::cli {

void SendProgress::begin(int total_blocks) {
  first_ = total_blocks;
}

// The figure drops as a message starts: the messages finished are one fewer than started.
std::string SendProgress::line(const std::string& file, int figure, int first, int left_ms) {
  const int finished = std::clamp(first - figure - 1, 0, std::max(first, 0));
  const int percent = first > 0 ? finished * 100 / first : 0;
  char text[64];
  std::snprintf(text, sizeof text, "  Total Blocks %4d  %3d%%  ", figure, percent);
  return file + text + time_left_text(left_ms);
}

void SendProgress::update(const std::string& file, int figure, int left_ms) {
  const std::string text = line(file, figure, first_, left_ms);
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
