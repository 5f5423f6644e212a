// What a down-load tells the front end that drives it, as it happens: each message started, the
// "Total Blocks" figure, the time left, each file's outcome and the end of the down-load.
// Everything is told on the clock's thread. Rows are named by their ids, which stay theirs while
// rows come, go or change places.
#pragma once

#include <optional>
#include <string>

#include "common/notice.h"
#include "soundlist/row.h"

namespace brisca {

// Why a file was cut short.
enum class CutReason {
  PortClosed,  // the output was closed (MIDI setup confirmed, window closed)
  DeviceLost,  // the device failed a send, closed itself, or stopped reporting chunks done
  Unplugged,   // the device was lost because the port it sent to is gone (unplugged, closed)
  Aborted,     // the caller asked to stop at once
  Damaged,     // the file's track was cut, or it held fewer blocks than its header counts
};

struct CutShort {
  CutReason reason;
  RowId row;
  std::string name;      // the row's text
  std::string problem;   // Damaged: what was wrong ("ends after 13 of 27 blocks")
  int blocks_done = 0;   // the file's blocks whose every byte had gone out
  int blocks_total = 0;  // the blocks its row counts
};

// How a file's sending ended: whole, or cut short (the row is selected again).
struct FileOutcome {
  std::optional<CutShort> cut;
  bool whole() const { return !cut; }
};

// What one down-load (from "Send File(s)" until nothing more is sent) did.
struct SendSummary {
  int sounds = 0;  // files sent whole
  int blocks = 0;  // their rows' block counts
};

class DownloadListener {
 public:
  virtual ~DownloadListener() = default;

  // A message of the file in `row` has started: `blocks_started` of the `blocks_total` its row
  // counts (a file holding more messages than its count stays at the count).
  virtual void progress(RowId /*row*/, int /*blocks_started*/, int /*blocks_total*/) {}
  // The "Total Blocks" figure the down-load changed: the blocks of the file being sent not yet
  // started and those of the selected rows.
  virtual void total_blocks(int /*total*/) {}
  // After each tick while a file is being sent: milliseconds the rest of the down-load takes.
  virtual void time_left(int /*milliseconds*/) {}
  // A file was sent whole (its row is marked sent) or cut short.
  virtual void file_done(RowId /*row*/, const FileOutcome& /*outcome*/) {}
  // A file whose headers are bad: the down-load stops there, its row still selected.
  virtual void cannot_open(RowId /*row*/, const Notice& /*notice*/) {}
  // Once when a down-load has ended, however it ended.
  virtual void finished(const SendSummary& /*summary*/) {}
};

}  // namespace brisca
