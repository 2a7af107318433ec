// The few things SDL cannot do for a window on X11: the X Shape extension, the background
// pixel, the pointer as the server sees it and whether a window manager runs. Xlib types
// stay in x11_bridge.cpp. Every function is a no-op (false / empty) off X11.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

struct SDL_Window;
struct SDL_SysWMmsg;

namespace win32 {

struct ShapeRect {
  int32_t left, top, right, bottom;  // right and bottom exclusive
};

// Sets both the bounding and the input shape of the window; null rects removes the shape.
bool x11SetShape(SDL_Window* window, const std::vector<ShapeRect>* rects);
// Colour the server fills exposed parts of the window with (0x00BBGGRR as in COLORREF).
bool x11SetBackground(SDL_Window* window, uint32_t colorRef);

struct PointerState {
  int x, y;  // root (screen) coordinates
  bool leftDown;
};
std::optional<PointerState> x11QueryPointer(SDL_Window* window);

// Whether a window manager announces itself on the window's screen. Without one (Xvfb)
// nothing iconifies, stacks above or focuses windows for us.
bool x11HasWindowManager(SDL_Window* window);
void x11Raise(SDL_Window* window);
// Maps the window on top of its siblings, or unmaps it, and waits for the server; the input
// focus stays where it is.
void x11MapRaised(SDL_Window* window);
void x11Unmap(SDL_Window* window);
// Waits until the server has handled every request and sent every event so far.
void x11Sync(SDL_Window* window);
// Gives the window the X input focus if it is viewable; false otherwise.
bool x11Focus(SDL_Window* window);

// The keysym (unshifted) of a key press carried by a window-system event; nothing for any
// other event. SDL reports only the keys it has a scancode for, and AltGr as Right Alt.
std::optional<unsigned long> x11KeyPressKeysym(const SDL_SysWMmsg* message);

// Runs `show`, which puts up a top-level window titled `title` on the default display and
// returns once it is gone (SDL's message box, whose window SDL does not hand out), and keeps
// that window above the others: the _NET_WM_STATE_ABOVE state is set on it as it appears
// and asked of the window manager once it is mapped (or, with none, the window is raised).
// Only runs `show` where no X display can be opened.
void x11ShowKeptAbove(const char* title, const std::function<void()>& show);

// Calls `handler` (which must not return) when any display connection of the process is
// lost, in place of Xlib's default, which exits through the static destructors.
void x11OnConnectionLost(void (*handler)());

}  // namespace win32
