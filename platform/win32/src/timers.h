// Timers of the layer's own windows (the tooltip control's hover delay). As on the real
// system, WM_TIMER is generated only when no other message is waiting, at most one per
// timer however late it is, and it restarts the timer's period when it is removed.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>

namespace win32 {

// Starts or restarts the window's timer with that id; the first WM_TIMER is due after
// `elapse` milliseconds of timeGetTime.
void setTimer(HWND window, UINT_PTR id, DWORD elapse);
void killTimer(HWND window, UINT_PTR id);
// The WM_TIMER of the first due timer whose window `accepts` (timers of windows that no
// longer exist are dropped); when `remove`, its period starts again.
std::optional<MSG> takeDueTimer(const std::function<bool(HWND)>& accepts, bool remove);

}  // namespace win32
