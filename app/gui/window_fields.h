// The main window's text fields and the kinds of box it shows.
#pragma once

namespace brisca {

// The fields under the list and in the monitor row. The ten monitor fields come first, in the
// order of MonitorField.
enum class Field : int {
  NoteOff = 0,
  NoteOn,
  PolyPress,
  CtrlChg,
  ProgChg,
  ChanPress,
  PitchBend,
  SystemExclusive,
  Common,
  RealTime,
  TotalBlocks,
  PathAndFiles,
};
inline constexpr int kMonitorFieldCount = 10;

enum class BoxIcon { Warning, Question };
enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No };

}  // namespace brisca
