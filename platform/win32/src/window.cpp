// Window classes and top-level windows over SDL windows. Every window is an SDL window that
// can carry an OpenGL 3.3 core context with a 24-bit depth buffer, so the rendering layer
// can create its device on any of them.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <strings.h>
#include <thread>
#include <utility>

#include "gdi_internal.h"
#include "handle_table.h"
#include "message_queue.h"
#include "termination.h"
#include "tooltip.h"
#include "window_internal.h"
#include "x11_bridge.h"

namespace win32 {
namespace {

HandleTable<Window>& windowTable() {
  static HandleTable<Window> table(0x00010000);
  return table;
}

struct ClassRegistry {
  std::mutex mutex;
  std::vector<std::shared_ptr<WindowClass>> classes;
  ATOM nextAtom = 0xC000;
};
ClassRegistry& classRegistry() {
  static ClassRegistry registry;
  return registry;
}

// Class names are compared without regard to case; an integer "name" is the class atom.
std::shared_ptr<WindowClass> findClassLocked(ClassRegistry& registry, LPCSTR name) {
  if (!name) return nullptr;
  for (const auto& c : registry.classes) {
    if (IS_INTRESOURCE(name)) {
      if (c->atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name))) return c;
    } else if (strcasecmp(c->name.c_str(), name) == 0) {
      return c;
    }
  }
  return nullptr;
}

HINSTANCE normalisedInstance(HINSTANCE instance) { return instance ? instance : GetModuleHandleA(nullptr); }

HWND g_focus = nullptr;
std::thread::id g_videoThread;

constexpr int kDefaultWidth = 320;
constexpr int kDefaultHeight = 240;

void destroyOwnedWindows(HWND owner) {
  for (const auto& [handle, window] : windowTable().snapshot())
    if (window->owner == owner && !window->destroying) DestroyWindow(window->handle);
}

// Tears the window down after its procedure has seen the last message.
void releaseWindow(const std::shared_ptr<Window>& window) {
  windowTable().remove(reinterpret_cast<uintptr_t>(window->handle));
  if (window->queue) dropWindowMessages(*window->queue, window->handle);
  if (window->region) {
    takeGdiObject(window->region);
    window->region = nullptr;
  }
  if (window->dc) {
    deleteDc(window->dc);
    window->dc = nullptr;
  }
  {
    std::lock_guard lock(classRegistry().mutex);
    --window->windowClass->liveWindows;
  }
  if (g_focus == window->handle) g_focus = nullptr;
  window->sdl.reset();
}

// A procedure may destroy its window from any message it is sent; whatever the caller was
// doing to the window then stops, and its SDL window is gone.
bool destroyedMeanwhile(const Window& window) {
  if (!window.destroying) return false;
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return true;
}

std::shared_ptr<Window> liveWindowOrFail(HWND handle) {
  auto window = findWindow(handle);
  if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return window;
}

void showSdl(Window& window) {
  // Without a window manager SDL gives every window it shows the focus; a popup must leave
  // the keyboard where it is, so it is mapped directly.
  if (window.windowClass->popup) {
    x11MapRaised(window.sdl.get());
    return;
  }
  SDL_ShowWindow(window.sdl.get());
  // Without a window manager nothing puts a newly mapped window on top.
  x11Raise(window.sdl.get());
}

void hideSdl(Window& window) {
  // A popup mapped behind SDL's back may not be known to SDL as shown yet.
  if (window.windowClass->popup)
    x11Unmap(window.sdl.get());
  else
    SDL_HideWindow(window.sdl.get());
}

}  // namespace

void SdlWindowDeleter::operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }

bool ensureVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return onVideoThread();
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_PING, "0");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  // Window surfaces (the tooltips') are drawn with plain X requests: SDL's accelerated
  // alternative would re-create the window as an OpenGL one, losing its place on screen.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  static bool reported = false;
  // Left to itself SDL falls back to an off-screen driver where there is no display, and
  // the program would run on unseen; only a driver asked for by name may be one of those.
  const bool driverChosen = std::getenv("SDL_VIDEODRIVER") != nullptr;
  if (!driverChosen && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
    if (!std::exchange(reported, true)) std::fprintf(stderr, "win32: no display (DISPLAY is not set)\n");
    return false;
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (!std::exchange(reported, true)) std::fprintf(stderr, "win32: no display: %s\n", SDL_GetError());
    return false;
  }
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driverChosen && driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (!std::exchange(reported, true)) std::fprintf(stderr, "win32: no display (only SDL's %s driver)\n", driver);
    return false;
  }
  g_videoThread = std::this_thread::get_id();
  // The key input uses the window system's own key events for what SDL does not report.
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  installLostDisplayHandler();
  return true;
}

bool onVideoThread() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
  // Another layer may have started video first; the first thread here is taken as its own.
  if (g_videoThread == std::thread::id{}) g_videoThread = std::this_thread::get_id();
  return std::this_thread::get_id() == g_videoThread;
}

std::shared_ptr<Window> findWindow(HWND handle) { return windowTable().find(reinterpret_cast<uintptr_t>(handle)); }

std::shared_ptr<Window> findWindowBySdlId(uint32_t sdlId) {
  if (sdlId == 0) return nullptr;
  for (const auto& [handle, window] : windowTable().snapshot())
    if (window->sdlId == sdlId) return window;
  return nullptr;
}

std::vector<std::shared_ptr<Window>> allWindows() {
  std::vector<std::shared_ptr<Window>> windows;
  for (auto& [handle, window] : windowTable().snapshot()) windows.push_back(std::move(window));
  return windows;
}

LRESULT callWindowProc(const std::shared_ptr<Window>& window, UINT message, WPARAM wParam, LPARAM lParam) {
  relayToTooltips(window->handle, message, wParam, lParam);
  return window->proc(window->handle, message, wParam, lParam);
}

POINT windowScreenOrigin(const Window& window) {
  int x = 0, y = 0;
  if (window.sdl) SDL_GetWindowPosition(window.sdl.get(), &x, &y);
  return POINT{x, y};
}

void moveWindowTo(Window& window, int x, int y) {
  if (window.sdl) SDL_SetWindowPosition(window.sdl.get(), x, y);
}

void noteFocus(HWND window) { g_focus = window; }
HWND trackedFocus() { return findWindow(g_focus) ? g_focus : nullptr; }

}  // namespace win32

using namespace win32;

SDL_Window* win32SdlWindow(HWND handle) {
  auto window = findWindow(handle);
  return window ? window->sdl.get() : nullptr;
}

namespace win32 {

ATOM registerClass(const WNDCLASSA* info, bool popup) {
  // Extra class and window bytes have no accessor here, so a class asking for them fails.
  if (!info || !info->lpfnWndProc || !info->lpszClassName || IS_INTRESOURCE(info->lpszClassName) ||
      info->cbClsExtra != 0 || info->cbWndExtra != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto& registry = classRegistry();
  std::lock_guard lock(registry.mutex);
  if (findClassLocked(registry, info->lpszClassName)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto windowClass = std::make_shared<WindowClass>();
  windowClass->name = info->lpszClassName;
  windowClass->atom = registry.nextAtom++;
  windowClass->info = *info;
  windowClass->info.hInstance = normalisedInstance(info->hInstance);
  windowClass->info.lpszClassName = nullptr;
  windowClass->info.lpszMenuName = nullptr;
  windowClass->popup = popup;
  registry.classes.push_back(windowClass);
  return windowClass->atom;
}

}  // namespace win32

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* info) { return registerClass(info, false); }

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
  auto& registry = classRegistry();
  std::lock_guard lock(registry.mutex);
  auto windowClass = findClassLocked(registry, className);
  if (!windowClass || windowClass->info.hInstance != normalisedInstance(instance)) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (windowClass->liveWindows > 0) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  std::erase(registry.classes, windowClass);
  return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                            int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  std::shared_ptr<WindowClass> windowClass;
  {
    auto& registry = classRegistry();
    std::lock_guard lock(registry.mutex);
    windowClass = findClassLocked(registry, className);
  }
  if (!windowClass) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  if (parent && !findWindow(parent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (menu) {  // top-level menus are not supported
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!ensureVideo()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }

  // The visual is chosen when the X window is made, so the rendering layer's needs are
  // settled here: a 3.3 core context, 24-bit depth, double buffering, the desktop's colours.
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  // The colour channels follow the desktop's depth: the window then gets the screen's own
  // visual, and the device a back buffer in the display's format.
  SDL_DisplayMode desktop;
  const int desktopBits = SDL_GetDesktopDisplayMode(0, &desktop) == 0 ? SDL_BITSPERPIXEL(desktop.format) : 24;
  const bool shallow = desktopBits == 15 || desktopBits == 16;
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, shallow ? 5 : 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, desktopBits == 16 ? 6 : shallow ? 5 : 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, shallow ? 5 : 8);

  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (windowClass->popup)
    flags |= SDL_WINDOW_TOOLTIP;  // override-redirect: no window manager frames, stacks or focuses it
  else
    flags |= SDL_WINDOW_OPENGL;
  if ((style & WS_CAPTION) != WS_CAPTION) flags |= SDL_WINDOW_BORDERLESS;
  if (exStyle & WS_EX_TOPMOST) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  if (exStyle & WS_EX_TOOLWINDOW) flags |= SDL_WINDOW_SKIP_TASKBAR;
  const int sdlX = x == CW_USEDEFAULT ? SDL_WINDOWPOS_UNDEFINED : x;
  const int sdlY = y == CW_USEDEFAULT ? SDL_WINDOWPOS_UNDEFINED : y;
  const int w = (width == CW_USEDEFAULT || width <= 0) ? kDefaultWidth : width;
  const int h = (height == CW_USEDEFAULT || height <= 0) ? kDefaultHeight : height;

  auto window = std::make_shared<Window>();
  window->sdl.reset(SDL_CreateWindow(windowName ? windowName : "", sdlX, sdlY, w, h, flags));
  if (!window->sdl) {
    std::fprintf(stderr, "win32: CreateWindowExA: %s\n", SDL_GetError());
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  window->sdlId = SDL_GetWindowID(window->sdl.get());
  window->windowClass = windowClass;
  window->proc = windowClass->info.lpfnWndProc;
  window->style = style & ~(WS_VISIBLE | WS_MINIMIZE);
  window->exStyle = exStyle;
  window->owner = parent;
  window->queue = currentQueue();

  // The class background shows until something is drawn: the server fills exposed parts
  // of the window with it.
  if (auto brush = findGdiObject(windowClass->info.hbrBackground);
      brush && brush->kind == GdiKind::Brush && !brush->hollow)
    x11SetBackground(window->sdl.get(), brush->color);

  {
    std::lock_guard lock(classRegistry().mutex);
    ++windowClass->liveWindows;
  }
  window->handle = reinterpret_cast<HWND>(windowTable().add(window));

  CREATESTRUCTA create{};
  create.lpCreateParams = param;
  create.hInstance = instance;
  create.hwndParent = parent;
  create.cx = w;
  create.cy = h;
  create.x = x;
  create.y = y;
  create.style = static_cast<LONG>(style);
  create.lpszName = windowName;
  create.lpszClass = className;
  create.dwExStyle = exStyle;
  const LPARAM createParam = reinterpret_cast<LPARAM>(&create);

  if (!callWindowProc(window, WM_NCCREATE, 0, createParam)) {
    if (!window->destroying) {
      callWindowProc(window, WM_NCDESTROY, 0, 0);
      releaseWindow(window);
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (destroyedMeanwhile(*window)) return nullptr;
  if (callWindowProc(window, WM_CREATE, 0, createParam) == -1) {
    DestroyWindow(window->handle);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (destroyedMeanwhile(*window)) return nullptr;
  if (style & WS_VISIBLE) ShowWindow(window->handle, SW_SHOW);
  return window->handle;
}

BOOL WINAPI DestroyWindow(HWND handle) {
  auto window = findWindow(handle);
  if (!window || window->destroying) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  window->destroying = true;
  destroyOwnedWindows(handle);
  if (window->visible && window->sdl) hideSdl(*window);
  window->visible = false;
  callWindowProc(window, WM_DESTROY, 0, 0);
  callWindowProc(window, WM_NCDESTROY, 0, 0);
  releaseWindow(window);
  return TRUE;
}

BOOL WINAPI IsWindow(HWND handle) { return findWindow(handle) ? TRUE : FALSE; }

BOOL WINAPI ShowWindow(HWND handle, int command) {
  auto window = liveWindowOrFail(handle);
  if (!window) return FALSE;
  const BOOL wasVisible = window->visible ? TRUE : FALSE;
  switch (command) {
    case SW_HIDE:
      if (window->visible) {
        hideSdl(*window);
        window->visible = false;
        callWindowProc(window, WM_SHOWWINDOW, FALSE, 0);
      }
      break;
    case SW_SHOW:
    case SW_SHOWNORMAL:
    case SW_SHOWDEFAULT:
    case SW_RESTORE:
      if (command != SW_SHOW && window->iconic) {
        window->iconic = false;
        if (window->hiddenForIconic) {
          window->hiddenForIconic = false;
          showSdl(*window);
        }
        SDL_RestoreWindow(window->sdl.get());
        window->needsPaint = true;
      }
      if (!window->visible) {
        window->visible = true;
        window->needsPaint = true;
        callWindowProc(window, WM_SHOWWINDOW, TRUE, 0);
        if (destroyedMeanwhile(*window)) return wasVisible;
        if (!window->hiddenForIconic) showSdl(*window);
      }
      break;
    case SW_MINIMIZE:
      if (!window->visible) {
        window->visible = true;
        callWindowProc(window, WM_SHOWWINDOW, TRUE, 0);
        if (destroyedMeanwhile(*window)) return wasVisible;
        showSdl(*window);
      }
      if (!window->iconic) {
        SDL_Window* sdl = window->sdl.get();
        window->iconic = true;
        SDL_MinimizeWindow(sdl);
        // Iconifying is the window manager's job; without one the window would stay on
        // screen, so it is taken off the screen as an iconified window is.
        if (!x11HasWindowManager(sdl)) {
          SDL_HideWindow(sdl);
          window->hiddenForIconic = true;
        }
        if (g_focus == handle) g_focus = nullptr;
      }
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
  return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND handle) {
  auto window = liveWindowOrFail(handle);
  if (!window) return FALSE;
  if (window->visible && window->needsPaint) callWindowProc(window, WM_PAINT, 0, 0);
  return TRUE;
}

HWND WINAPI SetFocus(HWND handle) {
  HWND previous = trackedFocus();
  if (!handle) {
    g_focus = nullptr;
    if (auto old = findWindow(previous)) callWindowProc(old, WM_KILLFOCUS, 0, 0);
    return previous;
  }
  auto window = liveWindowOrFail(handle);
  if (!window) return nullptr;
  if (previous == handle) return previous;
  if (window->visible && !window->iconic) {
    SDL_RaiseWindow(window->sdl.get());
    // SDL leaves focusing to the window manager where one runs; without one (Xvfb) the
    // keyboard would follow the pointer, so the focus is set on the server directly.
    x11Focus(window->sdl.get());
  }
  g_focus = handle;
  if (auto old = findWindow(previous)) callWindowProc(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(handle), 0);
  if (destroyedMeanwhile(*window)) return previous;
  callWindowProc(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
  return previous;
}

HWND WINAPI GetFocus() { return trackedFocus(); }

LONG WINAPI GetWindowLongA(HWND handle, int index) {
  auto window = liveWindowOrFail(handle);
  if (!window) return 0;
  switch (index) {
    case GWL_STYLE: {
      DWORD style = window->style;
      if (window->visible) style |= WS_VISIBLE;
      if (window->iconic) style |= WS_MINIMIZE;
      return static_cast<LONG>(style);
    }
    case GWL_EXSTYLE:
      return static_cast<LONG>(window->exStyle);
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

BOOL WINAPI SetWindowPos(HWND handle, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  auto window = liveWindowOrFail(handle);
  if (!window) return FALSE;
  SDL_Window* sdl = window->sdl.get();
  if (!(flags & SWP_NOZORDER)) {
    if (insertAfter == HWND_TOPMOST) {
      window->exStyle |= WS_EX_TOPMOST;
      SDL_SetWindowAlwaysOnTop(sdl, SDL_TRUE);
      if (window->visible) x11Raise(sdl);
    } else if (insertAfter == HWND_NOTOPMOST) {
      window->exStyle &= ~static_cast<DWORD>(WS_EX_TOPMOST);
      SDL_SetWindowAlwaysOnTop(sdl, SDL_FALSE);
    } else if (insertAfter == HWND_TOP) {
      if (window->visible) x11Raise(sdl);
    }
  }
  if (!(flags & SWP_NOMOVE)) {
    const POINT before = windowScreenOrigin(*window);
    moveWindowTo(*window, x, y);
    if (before.x != x || before.y != y) callWindowProc(window, WM_MOVE, 0, MAKELPARAM(x, y));
    if (destroyedMeanwhile(*window)) return FALSE;
  }
  if (!(flags & SWP_NOSIZE) && cx > 0 && cy > 0) {
    int w = 0, h = 0;
    SDL_GetWindowSize(sdl, &w, &h);
    if (w != cx || h != cy) {
      SDL_SetWindowSize(sdl, cx, cy);
      callWindowProc(window, WM_SIZE, 0, MAKELPARAM(cx, cy));
      if (destroyedMeanwhile(*window)) return FALSE;
    }
  }
  if (flags & SWP_SHOWWINDOW) ShowWindow(handle, SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(handle, SW_HIDE);
  return TRUE;
}

BOOL WINAPI GetWindowRect(HWND handle, LPRECT rect) {
  auto window = liveWindowOrFail(handle);
  if (!window || !rect) return FALSE;
  const POINT origin = windowScreenOrigin(*window);
  int w = 0, h = 0;
  SDL_GetWindowSize(window->sdl.get(), &w, &h);
  *rect = RECT{origin.x, origin.y, origin.x + w, origin.y + h};
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND handle, LPRECT rect) {
  auto window = liveWindowOrFail(handle);
  if (!window || !rect) return FALSE;
  int w = 0, h = 0;
  SDL_GetWindowSize(window->sdl.get(), &w, &h);
  *rect = RECT{0, 0, w, h};
  return TRUE;
}

BOOL WINAPI IsIconic(HWND handle) {
  auto window = findWindow(handle);
  return window && window->iconic ? TRUE : FALSE;
}

int WINAPI GetSystemMetrics(int index) {
  if (index != SM_CXSCREEN && index != SM_CYSCREEN) return 0;
  if (!ensureVideo()) return 0;
  SDL_Rect bounds;
  if (SDL_GetDisplayBounds(0, &bounds) != 0) return 0;
  return index == SM_CXSCREEN ? bounds.w : bounds.h;
}

// The system's standard icons and cursors are handles of their own; a program's own icons
// and cursors are not supported.
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  const auto id = reinterpret_cast<ULONG_PTR>(name);
  if (instance || !IS_INTRESOURCE(name) || id < 32512 || id > 32518) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HICON>(0x00100000 | id);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  const auto id = reinterpret_cast<ULONG_PTR>(name);
  const bool standard = (id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32651);
  if (instance || !IS_INTRESOURCE(name) || !standard) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HCURSOR>(0x00200000 | id);
}

HDC WINAPI BeginPaint(HWND handle, LPPAINTSTRUCT paint) {
  auto window = liveWindowOrFail(handle);
  if (!window || !paint) return nullptr;
  if (!window->dc) window->dc = createWindowDc(handle);
  std::memset(paint, 0, sizeof *paint);
  paint->hdc = window->dc;
  paint->fErase = FALSE;  // the server has already filled exposed parts with the background
  GetClientRect(handle, &paint->rcPaint);
  window->needsPaint = false;
  return window->dc;
}

BOOL WINAPI EndPaint(HWND handle, const PAINTSTRUCT* paint) { return findWindow(handle) && paint ? TRUE : FALSE; }

int WINAPI SetWindowRgn(HWND handle, HRGN regionHandle, BOOL) {
  auto window = liveWindowOrFail(handle);
  if (!window) return 0;
  std::shared_ptr<GdiObject> region;
  if (regionHandle) {
    region = findGdiObject(regionHandle);
    if (!region || region->kind != GdiKind::Region || (region->ownerWindow && region->ownerWindow != handle)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
  }
  bool applied;
  if (region) {
    std::vector<ShapeRect> rects;
    rects.reserve(region->rects.size());
    for (const RECT& r : region->rects) rects.push_back(ShapeRect{r.left, r.top, r.right, r.bottom});
    applied = x11SetShape(window->sdl.get(), &rects);
  } else {
    applied = x11SetShape(window->sdl.get(), nullptr);
  }
  if (!applied) {
    std::fprintf(stderr, "win32: SetWindowRgn: the display cannot shape windows\n");
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // The window owns the region from now on and frees the one it held before.
  if (window->region && window->region != regionHandle) takeGdiObject(window->region);
  window->region = regionHandle;
  if (region) region->ownerWindow = handle;
  return 1;
}

}  // extern "C"
