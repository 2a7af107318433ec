// The thread's message queue. Posted messages and input (SDL events translated when a
// message is looked for) share one queue in arrival order; the quit message follows them,
// then WM_PAINT, generated for as long as a window has something to paint, and WM_TIMER
// comes last.
#include "message_queue.h"

#include <SDL.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "keys.h"
#include "termination.h"
#include "timers.h"
#include "window_internal.h"
#include "x11_bridge.h"

namespace win32 {
namespace {

thread_local std::shared_ptr<MessageQueue> t_queue;
thread_local POINT t_messagePos{};
POINT g_cursor{};
// Buttons held as of the newest translated event (SDL's own state is already ahead of
// the events still waiting to be translated).
Uint32 g_buttons = 0;
// AltGr is held (see translateKeyEvent).
bool g_altGrDown = false;

bool inRange(UINT message, UINT first, UINT last) {
  return (first == 0 && last == 0) || (message >= first && message <= last);
}

bool windowMatches(HWND filter, HWND window) {
  if (!filter) return true;
  if (filter == reinterpret_cast<HWND>(-1)) return window == nullptr;
  return window == filter;
}

MSG makeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, POINT pt) {
  MSG msg{};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = timeGetTime();
  msg.pt = pt;
  return msg;
}

void post(const std::shared_ptr<Window>& window, UINT message, WPARAM wParam, LPARAM lParam, POINT pt) {
  if (window->queue) postToQueue(*window->queue, makeMessage(window->handle, message, wParam, lParam, pt));
}

WPARAM mouseKeyState(Uint32 buttons) {
  WPARAM state = 0;
  if (buttons & SDL_BUTTON_LMASK) state |= MK_LBUTTON;
  if (buttons & SDL_BUTTON_RMASK) state |= MK_RBUTTON;
  if (buttons & SDL_BUTTON_MMASK) state |= MK_MBUTTON;
  const SDL_Keymod mod = SDL_GetModState();
  if (mod & KMOD_SHIFT) state |= MK_SHIFT;
  if (mod & KMOD_CTRL) state |= MK_CONTROL;
  return state;
}

// Screen position of a point given in the window's client coordinates.
POINT toScreen(const Window& window, int x, int y) {
  const POINT origin = windowScreenOrigin(window);
  return POINT{origin.x + x, origin.y + y};
}

void translateWindowEvent(const SDL_WindowEvent& event) {
  auto window = findWindowBySdlId(event.windowID);
  if (!window) return;
  switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
      post(window, WM_CLOSE, 0, 0, g_cursor);
      break;
    case SDL_WINDOWEVENT_EXPOSED:
      window->needsPaint = true;
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      noteFocus(window->handle);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      if (trackedFocus() == window->handle) noteFocus(nullptr);
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      window->iconic = true;
      break;
    case SDL_WINDOWEVENT_RESTORED:
      if (!window->hiddenForIconic) window->iconic = false;
      break;
    default:
      break;
  }
}

// The window that keys go to: the one SDL names, or where keyboard focus came from the
// pointer rather than a focus change (SDL then names none), the one with the focus here.
std::shared_ptr<Window> keyWindow(uint32_t sdlWindowId) {
  auto window = findWindowBySdlId(sdlWindowId);
  return window ? window : findWindow(trackedFocus());
}

void postKey(const std::shared_ptr<Window>& window, const KeyInfo& key, bool down, bool repeat,
             KeyModifiers modifiers) {
  const KeyMessage message = makeKeyMessage(key, down, repeat, modifiers);
  post(window, message.message, key.vk, message.lParam, g_cursor);
}

// `pressKeysym` is the X keysym of the press SDL reports here, when known.
void translateKeyEvent(const SDL_KeyboardEvent& event, std::optional<unsigned long> pressKeysym) {
  auto window = keyWindow(event.windowID);
  if (!window) return;
  const bool down = event.type == SDL_KEYDOWN;
  // AltGr arrives as Right Alt; the real system reports it as Control plus Alt, so it and
  // the keys pressed with it are ordinary keys.
  const bool altGrKey =
      event.keysym.scancode == SDL_SCANCODE_RALT && (down ? pressKeysym && isAltGrKeysym(*pressKeysym) : g_altGrDown);
  if (altGrKey) g_altGrDown = down;
  const KeyModifiers modifiers{(event.keysym.mod & KMOD_ALT) != 0 || g_altGrDown,
                               (event.keysym.mod & KMOD_CTRL) != 0 || g_altGrDown || altGrKey};
  postKey(window, keyFromScancode(event.keysym.scancode), down, event.repeat != 0, modifiers);
}

// A key press SDL passed over because it has no scancode for the key.
void translateUnreportedKeyPress(unsigned long keysym) {
  if (auto window = keyWindow(0)) {
    const SDL_Keymod mod = SDL_GetModState();
    postKey(window, keyFromKeysym(keysym), true, false, {(mod & KMOD_ALT) != 0, (mod & KMOD_CTRL) != 0});
  }
}

void translateEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_WINDOWEVENT:
      translateWindowEvent(event.window);
      break;
    case SDL_MOUSEMOTION: {
      auto window = findWindowBySdlId(event.motion.windowID);
      if (!window) break;
      g_cursor = toScreen(*window, event.motion.x, event.motion.y);
      post(window, WM_MOUSEMOVE, mouseKeyState(event.motion.state), MAKELPARAM(event.motion.x, event.motion.y),
           g_cursor);
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      auto window = findWindowBySdlId(event.button.windowID);
      if (!window) break;
      const bool down = event.type == SDL_MOUSEBUTTONDOWN;
      UINT message = 0;
      switch (event.button.button) {
        case SDL_BUTTON_LEFT:
          message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
          break;
        case SDL_BUTTON_RIGHT:
          message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
          break;
        case SDL_BUTTON_MIDDLE:
          message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
          break;
        default:
          break;
      }
      if (!message) break;
      const Uint32 mask = SDL_BUTTON(event.button.button);
      g_buttons = down ? (g_buttons | mask) : (g_buttons & ~mask);
      g_cursor = toScreen(*window, event.button.x, event.button.y);
      post(window, message, mouseKeyState(g_buttons), MAKELPARAM(event.button.x, event.button.y), g_cursor);
      break;
    }
    default:
      break;
  }
}

// A window of this thread that waits to be painted and passes the filter.
std::shared_ptr<Window> windowToPaint(const MessageQueue& queue, HWND filter) {
  for (auto& window : allWindows())
    if (window->queue.get() == &queue && window->needsPaint && window->visible && !window->destroying &&
        windowMatches(filter, window->handle) && filter != reinterpret_cast<HWND>(-1))
      return window;
  return nullptr;
}

// A termination signal closes the thread's top-level windows as the system's close command
// would; it waits for the first such window if there is none yet.
void deliverTerminationRequest() {
  if (!takeTerminationRequest()) return;
  const auto queue = currentQueue();
  bool delivered = false;
  for (const auto& window : allWindows()) {
    if (window->queue != queue || window->owner || window->destroying) continue;
    post(window, WM_CLOSE, 0, 0, g_cursor);
    delivered = true;
  }
  if (!delivered) keepTerminationRequest();
}

}  // namespace

std::shared_ptr<MessageQueue> currentQueue() {
  if (!t_queue) t_queue = std::make_shared<MessageQueue>();
  return t_queue;
}

void postToQueue(MessageQueue& queue, const MSG& msg) {
  std::lock_guard lock(queue.mutex);
  if (msg.message == WM_MOUSEMOVE && !queue.messages.empty() && queue.messages.back().message == WM_MOUSEMOVE &&
      queue.messages.back().hwnd == msg.hwnd) {
    queue.messages.back() = msg;
    return;
  }
  queue.messages.push_back(msg);
}

void dropWindowMessages(MessageQueue& queue, HWND window) {
  std::lock_guard lock(queue.mutex);
  std::erase_if(queue.messages, [window](const MSG& msg) { return msg.hwnd == window; });
}

void pumpDisplayEvents() {
  deliverTerminationRequest();
  if (!onVideoThread()) return;
  SDL_PumpEvents();
  // The window system's own event for a key press comes just before SDL's key event for it;
  // a press that SDL follows with no key event of its own is one SDL has no scancode for.
  std::optional<unsigned long> pressKeysym;
  SDL_Event event;
  while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
    if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
      translateKeyEvent(event.key, std::exchange(pressKeysym, std::nullopt));
      continue;
    }
    if (pressKeysym) translateUnreportedKeyPress(*std::exchange(pressKeysym, std::nullopt));
    if (event.type == SDL_SYSWMEVENT)
      pressKeysym = x11KeyPressKeysym(event.syswm.msg);
    else
      translateEvent(event);
  }
  if (pressKeysym) translateUnreportedKeyPress(*pressKeysym);
}

POINT lastCursorPos() { return g_cursor; }
POINT currentMessagePos() { return t_messagePos; }
void setCurrentMessagePos(POINT pt) { t_messagePos = pt; }

}  // namespace win32

using namespace win32;

extern "C" {

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (window && window != reinterpret_cast<HWND>(-1) && !findWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const bool remove = (removeFlags & PM_REMOVE) != 0;
  pumpDisplayEvents();
  auto queue = currentQueue();
  {
    std::lock_guard lock(queue->mutex);
    for (auto it = queue->messages.begin(); it != queue->messages.end(); ++it) {
      if (!windowMatches(window, it->hwnd) || !inRange(it->message, filterMin, filterMax)) continue;
      *msg = *it;
      if (remove) queue->messages.erase(it);
      return TRUE;
    }
    // The quit message belongs to no window, so a window filter passes over it.
    if (queue->quitPosted && (!window || window == reinterpret_cast<HWND>(-1)) &&
        inRange(WM_QUIT, filterMin, filterMax)) {
      *msg = MSG{};
      msg->message = WM_QUIT;
      msg->wParam = static_cast<WPARAM>(queue->quitCode);
      msg->time = timeGetTime();
      msg->pt = lastCursorPos();
      if (remove) queue->quitPosted = false;
      return TRUE;
    }
  }
  // WM_PAINT stays until the window is painted (BeginPaint), whatever the remove flag.
  if (inRange(WM_PAINT, filterMin, filterMax)) {
    if (auto target = windowToPaint(*queue, window)) {
      *msg = MSG{};
      msg->hwnd = target->handle;
      msg->message = WM_PAINT;
      msg->time = timeGetTime();
      msg->pt = lastCursorPos();
      return TRUE;
    }
  }
  if (inRange(WM_TIMER, filterMin, filterMax) && window != reinterpret_cast<HWND>(-1)) {
    const auto accepts = [&](HWND target) {
      auto timerWindow = findWindow(target);
      return timerWindow && timerWindow->queue == queue && windowMatches(window, target);
    };
    if (auto timer = takeDueTimer(accepts, remove)) {
      *msg = *timer;
      return TRUE;
    }
  }
  return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
  if (!msg) return FALSE;
  const UINT message = msg->message;
  if (message != WM_KEYDOWN && message != WM_SYSKEYDOWN && message != WM_KEYUP && message != WM_SYSKEYUP) return FALSE;
  if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) {
    const SDL_Keymod mod = SDL_GetModState();
    const char c = characterForKey(static_cast<BYTE>(msg->wParam), (mod & KMOD_SHIFT) != 0, (mod & KMOD_CAPS) != 0,
                                   (mod & KMOD_CTRL) != 0);
    auto window = findWindow(msg->hwnd);
    if (c && window && window->queue) {
      MSG character = *msg;
      character.message = message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
      character.wParam = static_cast<unsigned char>(c);
      // The character is the next message the program sees, ahead of later input.
      std::lock_guard lock(window->queue->mutex);
      window->queue->messages.push_front(character);
    }
  }
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  auto window = findWindow(msg->hwnd);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  const POINT previous = currentMessagePos();
  setCurrentMessagePos(msg->pt);
  const LRESULT result = callWindowProc(window, msg->message, msg->wParam, msg->lParam);
  setCurrentMessagePos(previous);
  return result;
}

LRESULT WINAPI SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  auto window = findWindow(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return callWindowProc(window, message, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  const MSG msg = makeMessage(handle, message, wParam, lParam, lastCursorPos());
  if (!handle) {
    postToQueue(*currentQueue(), msg);
    return TRUE;
  }
  auto window = findWindow(handle);
  if (!window || !window->queue) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  postToQueue(*window->queue, msg);
  return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
  auto queue = currentQueue();
  std::lock_guard lock(queue->mutex);
  queue->quitPosted = true;
  queue->quitCode = exitCode;
}

LRESULT WINAPI DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_SYSKEYDOWN:
      // Alt+F4 goes through the system menu's close command, as on the real system.
      if (wParam == VK_F4 && (lParam & (1 << 29))) SendMessageA(handle, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(handle, WM_CLOSE, 0, 0);
      return 0;
    case WM_CLOSE:
      DestroyWindow(handle);
      return 0;
    case WM_NCLBUTTONDOWN:
      if (wParam == HTCAPTION) runMoveLoop(handle);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      if (BeginPaint(handle, &paint)) EndPaint(handle, &paint);
      return 0;
    }
    default:
      return 0;
  }
}

}  // extern "C"
