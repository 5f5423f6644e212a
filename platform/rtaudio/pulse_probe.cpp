#include "platform/rtaudio/pulse_probe.h"

#include <pulse/context.h>
#include <pulse/mainloop.h>

namespace brisca::rtaudio {
namespace {

// Runs the loop until the context is ready, has failed, or the time is up.
bool wait_ready(pa_mainloop* loop, pa_context* context, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY) return true;
    if (!PA_CONTEXT_IS_GOOD(state)) return false;
    if (pa_mainloop_prepare(loop, 10000) < 0 || pa_mainloop_poll(loop) < 0 ||
        pa_mainloop_dispatch(loop) < 0)
      return false;
  }
  return false;
}

}  // namespace

bool pulse_server_running(std::chrono::milliseconds limit) {
  pa_mainloop* loop = pa_mainloop_new();
  if (loop == nullptr) return false;
  bool running = false;
  if (pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "BriscaTool")) {
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0)
      running = wait_ready(loop, context, limit);
    pa_context_disconnect(context);
    pa_context_unref(context);
  }
  pa_mainloop_free(loop);
  return running;
}

}  // namespace brisca::rtaudio
