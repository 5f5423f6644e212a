// The signals that end the program: SIGINT (Ctrl-C), SIGTERM and SIGHUP. While an EndSignals
// is alive they no longer end the process at once: the handler only counts them and writes a
// byte to a pipe, so that the command's loop or the window's event loop notices, closes the
// devices in order and returns. Nothing else happens inside the handler.
#pragma once

namespace brisca {

class EndSignals {
 public:
  // Installs the handlers (the counts start at 0); the previous handling comes back when the
  // object goes. Only one may be alive at a time.
  EndSignals();
  ~EndSignals();
  EndSignals(const EndSignals&) = delete;
  EndSignals& operator=(const EndSignals&) = delete;

  // SIGINTs so far. After the second the previous handling of SIGINT is back, so a third Ctrl-C
  // ends a program that does not stop.
  static int interrupts();
  // True once SIGTERM or SIGHUP came.
  static bool terminated();
  // Readable after each signal, for an event loop to wait on; drain() empties it.
  static int wake_fd();
  static void drain();
};

// For a command with no loop to notice a signal (an import busy encoding): while one is alive,
// SIGINT, SIGTERM and SIGHUP remove the temporary files of the writes in progress (AtomicFile)
// and then end the process as they would have without it. The previous handling comes back when
// it goes.
class RemoveUnfinishedOnSignals {
 public:
  RemoveUnfinishedOnSignals();
  ~RemoveUnfinishedOnSignals();
  RemoveUnfinishedOnSignals(const RemoveUnfinishedOnSignals&) = delete;
  RemoveUnfinishedOnSignals& operator=(const RemoveUnfinishedOnSignals&) = delete;
};

}  // namespace brisca
