// The one interface through which the core parts (sound files, preview, sound list, down-load,
// monitor) reach the main window. The Qt window implements it; tests use a fake that records
// every call, so no core part needs a display.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace brisca {

// The window's private messages. The numbers are the window's own message ids.
enum class WindowMessage : std::uint32_t {
  MidiInput = 1024,     // wparam: MIM_DATA or MIM_LONGDATA; lparam: packed message or buffer
  WaveOut = 1027,       // wparam: the wave device's report (WOM_DONE acts); lparam: its parameter
  CommandLine = 1034,   // sent once after the window is shown
  NextDownload = 1044,  // posted by the down-load sequencer when a file is done
};

// The text fields the core writes. Monitor fields keep their index 0..9.
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

inline constexpr int kDownloadTimerId = 1;
inline constexpr int kMonitorTimerId = 2;  // reopening a lost MIDI input

class WindowPort {
 public:
  virtual ~WindowPort() = default;

  virtual void set_field_text(Field field, std::string_view text) = 0;

  // Modal box owned by the main window; returns the button the user pressed.
  virtual BoxAnswer message_box(std::string_view text, std::string_view caption, BoxIcon icon,
                                BoxButtons buttons) = 0;

  // Queues a private message for the window's thread. Safe to call from any thread; the
  // message is handled after the caller's current work on the window's thread returns.
  virtual void post_message(WindowMessage message, std::uintptr_t wparam,
                            std::uintptr_t lparam) = 0;

  virtual void start_timer(int id, int period_ms) = 0;
  virtual void stop_timer(int id) = 0;
};

// Formats printf-style into a 256-byte buffer and sets it as the field's text; a null window
// does nothing. Longer texts are cut at 255 characters, never overrun.
#if defined(__GNUC__)
__attribute__((format(printf, 3, 4)))
#endif
inline void
set_text(WindowPort* window, Field field, const char* format, ...) {
  if (window == nullptr) return;
  char buffer[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  window->set_field_text(field, buffer);
}

}  // namespace brisca
