// One row of the sound list: a file to send, known by an id that is never given to another row
// of the same list.
#pragma once

#include <cstdint>
#include <string>

namespace brisca {

using RowId = std::uint64_t;
inline constexpr RowId kNoRow = 0;  // ids start at 1

struct Row {
  RowId id = kNoRow;
  int dir = 0;              // index into the list's directory table
  std::string name;         // the file name, as the row shows it
  std::int32_t blocks = 0;  // sound blocks the file holds
  bool selected = false;    // waiting to be sent
  bool sending = false;     // being sent now
  bool sent = false;        // sent whole
};

// What a row shows: its name, three blanks and the block count in square brackets.
inline std::string row_label(const Row& row) {
  return row.name + "   [" + std::to_string(row.blocks) + "]";
}

}  // namespace brisca
