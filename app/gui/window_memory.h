// What the window remembers from one run to the next, beside the four device choices in the
// same store: its size and place (maximised or not), whether the monitor shows, the list's
// order, the playlists opened or saved last, and whether the last list is opened again at
// start (with that list).
#pragma once

#include <QObject>
#include <QTimer>
#include <string>
#include <vector>

class QWidget;

namespace brisca {

class SettingsStore;

inline constexpr const char* kWindowGeometryValue = "WindowGeometry";
inline constexpr const char* kMonitorShownValue = "MonitorShown";
inline constexpr const char* kSortByNameValue = "SortByName";
inline constexpr const char* kRecentListsValue = "RecentLists";
inline constexpr const char* kReopenListValue = "ReopenLastList";
inline constexpr const char* kLastListValue = "LastList";

inline constexpr std::size_t kMaxRecentLists = 6;

// A yes/no value ("1" / "0"); `fallback` when it is not stored.
bool read_flag(SettingsStore* store, const char* name, bool fallback);
void write_flag(SettingsStore* store, const char* name, bool on);

// The recent playlists, newest first.
std::vector<std::string> read_recent_lists(SettingsStore* store);
// Puts `path` first (once), keeps kMaxRecentLists, stores and returns them. A path that the
// store could not hold as text (a line break in it) is left out.
std::vector<std::string> remember_recent_list(SettingsStore* store, const std::string& path);
std::vector<std::string> forget_recent_list(SettingsStore* store, const std::string& path);

// Keeps the window's size and place in the store while it is shown: a moment after each move,
// resize or change between maximised and normal, and when it is hidden (closed).
class GeometryMemory : public QObject {
 public:
  GeometryMemory(QWidget* window, SettingsStore* store);
  // Puts the window where it last was, within the screens there are now (a place off every
  // screen, or a size larger than the screen, is brought back onto it). False when nothing was
  // remembered.
  bool restore();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void save();
  void keep_on_screen();

  QWidget* window_;
  SettingsStore* store_;
  QTimer later_;
  bool shown_ = false;
};

}  // namespace brisca
