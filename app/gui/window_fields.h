// The main window's text fields and the kinds of box it shows.
#pragma once

#include "monitor/monitor_display.h"

namespace brisca {

// The window's text fields: the ten monitor fields first, numbered as MonitorField, then the two
// above the list.
enum class Field : int {
  TotalBlocks = kMonitorTextFields,
  PathAndFiles,
};
inline constexpr int kMonitorFieldCount = kMonitorTextFields;
constexpr Field field_of(MonitorField field) {
  return static_cast<Field>(field);
}

enum class BoxIcon { Warning, Question };
enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No };

}  // namespace brisca
