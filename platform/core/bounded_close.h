// Closing a device whose server or driver may hang. A stopped or overloaded sound server can keep
// a close waiting for seconds or for ever; the program's thread (the window's, a command's)
// waits a bounded time and goes on, and the close finishes on a thread of its own.
#pragma once

#include <chrono>
#include <functional>

namespace brisca {

// How long a close is waited for: the first one, and each one after a close was given up on
// (its server is likely stalled, and every other close to it would wait as long) until a close
// returns in time again.
inline constexpr std::chrono::milliseconds kCloseWait{500};
inline constexpr std::chrono::milliseconds kCloseWaitAfterGivingUp{100};

// Runs `close` on a thread of its own and waits for it (kCloseWait, or kCloseWaitAfterGivingUp).
// Past that the caller goes on and the close is left to finish alone, so `close` must own,
// through its captures, everything it touches. True when it returned in time.
bool close_bounded(std::function<void()> close);

// Waits up to `limit` for the closes that were given up on; true when none is left running.
// A program ends with _Exit when one is: the library's own clean-up at exit would meet it.
bool closes_finished(std::chrono::milliseconds limit);

}  // namespace brisca
