// Listeners that record what the sound list and the down-load tell their front end, for tests
// without a display.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "download/download_listener.h"
#include "soundlist/sound_list.h"

namespace brisca::test {

struct Progress {
  RowId row;
  int started, total;
  bool operator==(const Progress&) const = default;
};

class Recorder : public SoundListListener, public DownloadListener {
 public:
  // The "Total Blocks" field as the window shows the figure.
  static std::string field_text(int total) {
    char text[16];
    std::snprintf(text, sizeof text, "%4d", total);
    return text;
  }

  void total_changed(int figure) override {
    total = field_text(figure);
    totals.push_back(total);
  }
  void not_added(const Notice& notice) override { boxes.push_back(notice); }

  void progress(RowId row, int started, int blocks) override {
    progress_log.push_back({row, started, blocks});
  }
  void time_left(int milliseconds) override { left.push_back(milliseconds); }
  void file_done(RowId row, const FileOutcome& outcome) override {
    if (outcome.whole())
      sent.push_back(row);
    else
      cuts.push_back(*outcome.cut);
  }
  void cannot_open(RowId /*row*/, const Notice& notice) override { boxes.push_back(notice); }
  void finished(const SendSummary& summary) override { ends.push_back(summary); }

  std::string total;                // the field's text, empty before the first figure
  std::vector<std::string> totals;  // every text the field was given
  std::vector<Notice> boxes;        // warnings and questions, in order
  std::vector<Progress> progress_log;
  std::vector<int> left;
  std::vector<RowId> sent;  // rows sent whole
  std::vector<CutShort> cuts;
  std::vector<SendSummary> ends;
};

}  // namespace brisca::test
