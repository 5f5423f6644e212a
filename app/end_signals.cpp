#include "app/end_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

#include "soundfile/atomic_file.h"

namespace brisca {
namespace {

std::atomic<int> g_interrupts{0};
std::atomic<bool> g_terminated{false};
int g_pipe[2] = {-1, -1};

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3]{};

int slot_of(int signal) {
  return signal == SIGINT ? 0 : signal == SIGTERM ? 1 : 2;
}

// Only async-signal-safe work: lock-free atomics, write(), sigaction().
void on_signal(int signal) {
  const int saved = errno;
  if (signal == SIGINT) {
    if (g_interrupts.fetch_add(1) + 1 >= 2) sigaction(SIGINT, &g_previous[0], nullptr);
  } else {
    g_terminated.store(true);
  }
  if (g_pipe[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &byte, 1);  // a full pipe already wakes
  }
  errno = saved;
}

struct sigaction g_before_removal[3]{};

// Async-signal-safe as well: unlink(), sigaction(), raise().
void remove_and_end(int signal) {
  AtomicFile::remove_unfinished();
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  sigemptyset(&plain.sa_mask);
  sigaction(signal, &plain, nullptr);
  // Blocked until the handler returns, then delivered with the default action.
  ::raise(signal);
}

}  // namespace

RemoveUnfinishedOnSignals::RemoveUnfinishedOnSignals() {
  struct sigaction action {};
  action.sa_handler = remove_and_end;
  sigemptyset(&action.sa_mask);
  for (int signal : kSignals) sigaction(signal, &action, &g_before_removal[slot_of(signal)]);
}

RemoveUnfinishedOnSignals::~RemoveUnfinishedOnSignals() {
  for (int signal : kSignals) sigaction(signal, &g_before_removal[slot_of(signal)], nullptr);
}

EndSignals::EndSignals() {
  static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);
  g_interrupts.store(0);
  g_terminated.store(false);
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) g_pipe[0] = g_pipe[1] = -1;
  struct sigaction action {};
  action.sa_handler = on_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : kSignals) sigaction(signal, &action, &g_previous[slot_of(signal)]);
}

EndSignals::~EndSignals() {
  for (int signal : kSignals) sigaction(signal, &g_previous[slot_of(signal)], nullptr);
  for (int& fd : g_pipe) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

int EndSignals::interrupts() {
  return g_interrupts.load();
}

bool EndSignals::terminated() {
  return g_terminated.load();
}

int EndSignals::wake_fd() {
  return g_pipe[0];
}

void EndSignals::drain() {
  char bytes[64];
  while (g_pipe[0] >= 0 && ::read(g_pipe[0], bytes, sizeof bytes) > 0) {
  }
}

}  // namespace brisca
