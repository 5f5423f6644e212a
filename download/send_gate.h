// What is checked before a down-load starts on the open output: a lock per destination, so
// that two BriscaTool processes never send to one port at once (their chunks would interleave
// on the wire), and the other clients already sending to that port, named so the user can
// decide whether to go on. Both are held or asked once per down-load, not per file.
#pragma once

#include <optional>
#include <string>

#include "common/notice.h"
#include "download/midi_out_port.h"

namespace brisca {

// An exclusive lock on a file named after a destination, in a folder only this user can write
// to ($XDG_RUNTIME_DIR, else briscatool-UID in $TMPDIR or /tmp, made 0700). The holder writes
// its process id into the file, so a refused one can say who holds it. A lock file that cannot
// be made locks nothing: it never stops a down-load. A link, or a file or folder of someone
// else's, found where the lock would be is never opened through nor changed.
class DestinationLock {
 public:
  DestinationLock() = default;
  ~DestinationLock() { release(); }
  DestinationLock(const DestinationLock&) = delete;
  DestinationLock& operator=(const DestinationLock&) = delete;

  // True when this process now holds the lock for `destination` (or none could be made);
  // false when another holds it: holder() is then its process id (0 if unknown).
  bool acquire(const std::string& destination);
  void release();
  int holder() const { return holder_; }
  // Where the lock file is; empty when there is no private folder for it.
  static std::string path_for(const std::string& destination);

 private:
  static std::string file_name_for(const std::string& destination);
  int fd_ = -1;
  int holder_ = 0;
};

class SendGate {
 public:
  enum class Refusal { None, Locked, Shared };

  // `shared`: go on without asking when other clients send to the destination.
  explicit SendGate(MidiOutPort& port, bool shared = false) : port_(port), shared_(shared) {}

  // Before a down-load: takes the lock, then looks for other senders. Nothing when the
  // down-load may start (the lock is held); else what to tell the user, and nothing starts:
  // another BriscaTool holds the lock (a warning), or other clients send to the destination (a
  // question: on yes, open again `confirmed`, which does not ask). The reason is kept in
  // refusal().
  std::optional<Notice> open(bool confirmed = false);
  // When the down-load has ended.
  void close() { lock_.release(); }
  Refusal refusal() const { return refusal_; }

 private:
  MidiOutPort& port_;
  bool shared_;
  DestinationLock lock_;
  Refusal refusal_ = Refusal::None;
};

}  // namespace brisca
