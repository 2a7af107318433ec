#include "termination.h"

#include <SDL.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "x11_bridge.h"

namespace win32 {
namespace {

constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

std::atomic<bool> g_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the handler may only touch lock-free state");

void onTerminationSignal(int signalNumber) {
  if (!g_requested.exchange(true)) return;
  // Nobody has taken the first request: the program is stuck, so end the way the signal
  // would have ended it.
  ::signal(signalNumber, SIG_DFL);
  ::raise(signalNumber);
}

}  // namespace

void installTerminationHandlers() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  struct sigaction action {};
  action.sa_handler = onTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signalNumber : kTerminationSignals) ::sigaction(signalNumber, &action, nullptr);
}

bool takeTerminationRequest() { return g_requested.exchange(false); }
void keepTerminationRequest() { g_requested.store(true); }

void installLostDisplayHandler() {
  x11OnConnectionLost([] {
    static constexpr char kLine[] = "win32: the display connection was lost\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kLine, sizeof kLine - 1);
    ::_exit(1);
  });
}

}  // namespace win32
