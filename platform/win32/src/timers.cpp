#include "timers.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "message_queue.h"
#include "window_internal.h"

namespace win32 {
namespace {

struct Timer {
  HWND window;
  UINT_PTR id;
  DWORD elapse;
  DWORD due;
};

std::mutex g_mutex;
std::vector<Timer> g_timers;

// Differences of the wrapping 32-bit clock.
bool isDue(DWORD due, DWORD now) { return static_cast<int32_t>(now - due) >= 0; }

}  // namespace

void setTimer(HWND window, UINT_PTR id, DWORD elapse) {
  std::lock_guard lock(g_mutex);
  const DWORD due = timeGetTime() + elapse;
  for (Timer& timer : g_timers) {
    if (timer.window == window && timer.id == id) {
      timer.elapse = elapse;
      timer.due = due;
      return;
    }
  }
  g_timers.push_back(Timer{window, id, elapse, due});
}

void killTimer(HWND window, UINT_PTR id) {
  std::lock_guard lock(g_mutex);
  std::erase_if(g_timers, [&](const Timer& timer) { return timer.window == window && timer.id == id; });
}

std::optional<MSG> takeDueTimer(const std::function<bool(HWND)>& accepts, bool remove) {
  std::vector<Timer> candidates;
  {
    std::lock_guard lock(g_mutex);
    std::erase_if(g_timers, [](const Timer& timer) { return !findWindow(timer.window); });
    candidates = g_timers;
  }
  const DWORD now = timeGetTime();
  for (const Timer& timer : candidates) {
    if (!isDue(timer.due, now) || !accepts(timer.window)) continue;
    if (remove) {
      std::lock_guard lock(g_mutex);
      for (Timer& live : g_timers)
        if (live.window == timer.window && live.id == timer.id) live.due = now + live.elapse;
    }
    MSG msg{};
    msg.hwnd = timer.window;
    msg.message = WM_TIMER;
    msg.wParam = timer.id;
    msg.time = now;
    msg.pt = lastCursorPos();
    return msg;
  }
  return std::nullopt;
}

}  // namespace win32
