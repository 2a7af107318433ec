// The modal loop that drags a window while the left button is held on its "caption".
// It works without a window manager: the window is moved by the pointer's movement since
// the click, read from the server, and the mouse input that arrives meanwhile is consumed
// here as the real loop consumes it. Other input waits in the queue for the program.
#include <SDL.h>

#include <optional>

#include "message_queue.h"
#include "window_internal.h"
#include "x11_bridge.h"

namespace win32 {
namespace {

constexpr Uint32 kPollMs = 5;

bool isMouseMessage(UINT message) { return message >= WM_MOUSEMOVE && message <= WM_MBUTTONUP; }

struct PointerNow {
  POINT pt;
  bool leftDown;
};

PointerNow queryPointer(SDL_Window* window) {
  if (auto state = x11QueryPointer(window)) return {POINT{state->x, state->y}, state->leftDown};
  int x = 0, y = 0;
  const Uint32 buttons = SDL_GetGlobalMouseState(&x, &y);
  return {POINT{x, y}, (buttons & SDL_BUTTON_LMASK) != 0};
}

// Removes the window's queued mouse messages up to the release of the button; returns
// where it was released if the release is among them. Input after it (a second click)
// stays for the program.
std::optional<POINT> consumeMouseInput(MessageQueue& queue, HWND window) {
  std::lock_guard lock(queue.mutex);
  for (auto it = queue.messages.begin(); it != queue.messages.end();) {
    if (it->hwnd == window && isMouseMessage(it->message)) {
      const bool release = it->message == WM_LBUTTONUP;
      const POINT pt = it->pt;
      it = queue.messages.erase(it);
      if (release) return pt;
    } else {
      ++it;
    }
  }
  return std::nullopt;
}

}  // namespace

void runMoveLoop(HWND handle) {
  auto window = findWindow(handle);
  if (!window || !window->sdl || window->queue != currentQueue()) return;
  SDL_Window* sdl = window->sdl.get();

  const POINT windowStart = windowScreenOrigin(*window);
  // The drag starts where the click that began it happened, so movement made before the
  // program got round to dispatching the click still counts.
  POINT pointerStart = currentMessagePos();
  if (pointerStart.x == 0 && pointerStart.y == 0) pointerStart = queryPointer(sdl).pt;

  POINT placed = windowStart;
  auto follow = [&](POINT pointer) {
    const POINT target{windowStart.x + (pointer.x - pointerStart.x), windowStart.y + (pointer.y - pointerStart.y)};
    if (target.x != placed.x || target.y != placed.y) {
      moveWindowTo(*window, target.x, target.y);
      placed = target;
    }
  };

  for (;;) {
    pumpDisplayEvents();
    if (!findWindow(handle)) return;
    if (auto release = consumeMouseInput(*window->queue, handle)) {
      // A release that arrived before the window moved is exact; after a move its client
      // position may predate the move, and the pointer itself is the better witness.
      const bool moved = placed.x != windowStart.x || placed.y != windowStart.y;
      follow(moved ? queryPointer(sdl).pt : *release);
      break;
    }
    const PointerNow now = queryPointer(sdl);
    follow(now.pt);
    if (!now.leftDown) {
      // The server has the release; fetch its event so that it ends this drag rather than
      // reaching the program later.
      x11Sync(sdl);
      pumpDisplayEvents();
      if (findWindow(handle)) consumeMouseInput(*window->queue, handle);
      break;
    }
    SDL_Delay(kPollMs);
  }
  if (placed.x != windowStart.x || placed.y != windowStart.y)
    callWindowProc(window, WM_MOVE, 0, MAKELPARAM(placed.x, placed.y));
}

}  // namespace win32
