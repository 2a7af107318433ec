// The tooltip control. Each control is a small override-redirect popup that never takes the
// focus. Its tools are rectangles of a window; the control sees that window's mouse
// messages (TTF_SUBCLASS), waits for the pointer to rest in a tool for the usual initial
// delay, then shows the tool's text below and to the right of the pointer, never under it,
// so it cannot catch a click. It hides when the pointer leaves the tool, on a click and
// when the tool's window is hidden, minimised or destroyed; after a click it stays hidden
// until the pointer has left the tool.
#include <SDL.h>

#include <commctrl.h>
#include <win32_layer.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "font.h"
#include "message_queue.h"
#include "timers.h"
#include "tooltip.h"
#include "window_internal.h"
#include "x11_bridge.h"

namespace win32 {
namespace {

// The desktop's usual timing and look: half a second of rest before a tip shows, a 9-point
// sans-serif face (12 pixels at 96 dpi) on a pale yellow ground inside a thin grey border.
constexpr DWORD kInitialDelay = 500;
constexpr DWORD kCheckPeriod = 100;  // how often a shown tip looks whether it must go
constexpr UINT_PTR kDelayTimer = 1;
constexpr UINT_PTR kCheckTimer = 2;
constexpr UINT kRelayEvent = WM_USER + 7;  // TTM_RELAYEVENT: lParam is the relayed MSG
constexpr COLORREF kBackground = RGB(255, 255, 225);
constexpr COLORREF kTextColor = RGB(0, 0, 0);
constexpr COLORREF kBorder = RGB(118, 118, 118);
constexpr int kFontHeight = -12;
constexpr int kPaddingX = 4;  // inside the one-pixel border
constexpr int kPaddingY = 2;
// From the pointer's hot spot: right of it, and below the arrow cursor's height.
constexpr int kOffsetX = 4;
constexpr int kOffsetY = 20;

struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using GdiObjectPtr = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, GdiObjectDeleter>;

struct Tool {
  HWND window;
  UINT_PTR id;
  RECT rect;  // client coordinates, right and bottom exclusive
  std::string text;
};

enum class Phase { Idle, Waiting, Showing, Suppressed };

struct TooltipControl {
  HWND self = nullptr;
  bool alwaysTip = false;  // otherwise only while the tool's window has the focus
  GdiObjectPtr font;
  std::vector<Tool> tools;
  Phase phase = Phase::Idle;
  int current = -1;  // the tool under the pointer, as far as the control knows
  POINT lastPoint{};
};

std::mutex g_mutex;
std::unordered_map<HWND, std::shared_ptr<TooltipControl>> g_controls;

std::shared_ptr<TooltipControl> controlOf(HWND self) {
  std::lock_guard lock(g_mutex);
  auto it = g_controls.find(self);
  return it == g_controls.end() ? nullptr : it->second;
}

bool contains(const RECT& rect, POINT p) {
  return p.x >= rect.left && p.x < rect.right && p.y >= rect.top && p.y < rect.bottom;
}

int toolAt(const TooltipControl& control, HWND window, POINT client) {
  for (size_t i = 0; i < control.tools.size(); ++i)
    if (control.tools[i].window == window && contains(control.tools[i].rect, client)) return static_cast<int>(i);
  return -1;
}

// The pointer on the screen, as the display server sees it now.
POINT pointerOnScreen(const Window& window) {
  if (auto pointer = x11QueryPointer(window.sdl.get())) return POINT{pointer->x, pointer->y};
  return lastCursorPos();
}

// Whether the tool may show its tip: its window exists, is on screen, and is active
// unless the control always tips.
bool toolCanShow(const TooltipControl& control, const Tool& tool) {
  auto window = findWindow(tool.window);
  if (!window || window->destroying || !window->visible || window->iconic) return false;
  return control.alwaysTip || GetFocus() == tool.window;
}

// The pointer is still inside the tool (it may have left the window without a message).
bool pointerInTool(const Tool& tool) {
  auto window = findWindow(tool.window);
  if (!window) return false;
  const POINT screen = pointerOnScreen(*window);
  const POINT origin = windowScreenOrigin(*window);
  return contains(tool.rect, POINT{screen.x - origin.x, screen.y - origin.y});
}

void hide(TooltipControl& control) {
  killTimer(control.self, kCheckTimer);
  if (IsWindow(control.self) && (GetWindowLongA(control.self, GWL_STYLE) & WS_VISIBLE))
    ShowWindow(control.self, SW_HIDE);
}

void forget(TooltipControl& control) {
  hide(control);
  killTimer(control.self, kDelayTimer);
  control.phase = Phase::Idle;
  control.current = -1;
}

void show(TooltipControl& control) {
  const Tool& tool = control.tools[static_cast<size_t>(control.current)];
  auto owner = findWindow(tool.window);
  SIZE text{};
  if (!owner || !textExtent(control.font.get(), tool.text.c_str(), static_cast<int>(tool.text.size()), &text)) return;
  const int width = static_cast<int>(text.cx) + 2 * (1 + kPaddingX);
  const int height = static_cast<int>(text.cy) + 2 * (1 + kPaddingY);
  const POINT pointer = pointerOnScreen(*owner);
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  int x = pointer.x + kOffsetX;
  int y = pointer.y + kOffsetY;
  // Kept on the screen; near the bottom edge the tip goes above the pointer instead, so it
  // never lies under it.
  if (x + width > screenWidth) x = std::max(0, screenWidth - width);
  if (y + height > screenHeight) y = pointer.y - kOffsetY / 4 - height;
  SetWindowPos(control.self, HWND_TOPMOST, x, y, width, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  control.phase = Phase::Showing;
  setTimer(control.self, kCheckTimer, kCheckPeriod);
  UpdateWindow(control.self);
}

void paint(const TooltipControl& control) {
  PAINTSTRUCT paintInfo;
  BeginPaint(control.self, &paintInfo);
  SDL_Window* sdl = win32SdlWindow(control.self);
  SDL_Surface* surface = sdl && control.current >= 0 ? SDL_GetWindowSurface(sdl) : nullptr;
  if (surface &&
      (surface->format->format == SDL_PIXELFORMAT_RGB888 || surface->format->format == SDL_PIXELFORMAT_ARGB8888)) {
    const Tool& tool = control.tools[static_cast<size_t>(control.current)];
    if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
    HDC dc = win32CreateMemoryDC(surface->pixels, surface->w, surface->h, surface->pitch, MemoryDcFormat::X8R8G8B8);
    const GdiObjectPtr border(CreateSolidBrush(kBorder)), background(CreateSolidBrush(kBackground));
    const RECT all{0, 0, surface->w, surface->h};
    const RECT inside{1, 1, surface->w - 1, surface->h - 1};
    FillRect(dc, &all, border.get());
    FillRect(dc, &inside, background.get());
    SelectObject(dc, control.font.get());
    SetBkColor(dc, kBackground);
    SetTextColor(dc, kTextColor);
    TextOutA(dc, 1 + kPaddingX, 1 + kPaddingY, tool.text.c_str(), static_cast<int>(tool.text.size()));
    win32DeleteMemoryDC(dc);
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    SDL_UpdateWindowSurface(sdl);
  } else if (control.current >= 0) {
    static bool reported = false;
    if (!std::exchange(reported, true)) std::fprintf(stderr, "win32: a tooltip cannot be drawn: %s\n", SDL_GetError());
  }
  EndPaint(control.self, &paintInfo);
}

void onMouseMove(TooltipControl& control, HWND window, POINT client) {
  const int tool = toolAt(control, window, client);
  if (tool != control.current) {
    forget(control);
    if (tool >= 0) {
      control.current = tool;
      control.phase = Phase::Waiting;
      setTimer(control.self, kDelayTimer, kInitialDelay);
    }
  } else if (control.phase == Phase::Waiting && (client.x != control.lastPoint.x || client.y != control.lastPoint.y)) {
    setTimer(control.self, kDelayTimer, kInitialDelay);  // the pointer has to rest
  }
  control.lastPoint = client;
}

void onClick(TooltipControl& control) {
  if (control.current < 0) return;
  hide(control);
  killTimer(control.self, kDelayTimer);
  control.phase = Phase::Suppressed;
  setTimer(control.self, kCheckTimer, kCheckPeriod);
}

void onTimer(TooltipControl& control, UINT_PTR id) {
  if (control.current < 0) {
    forget(control);
    return;
  }
  const Tool& tool = control.tools[static_cast<size_t>(control.current)];
  if (id == kDelayTimer) {
    killTimer(control.self, kDelayTimer);
    if (control.phase != Phase::Waiting) return;
    if (!pointerInTool(tool) || !toolCanShow(control, tool)) {
      forget(control);
      return;
    }
    show(control);
  } else if (id == kCheckTimer) {
    const bool stays = pointerInTool(tool) && (control.phase == Phase::Suppressed || toolCanShow(control, tool));
    if (!stays) forget(control);
  }
}

bool addTool(TooltipControl& control, const TOOLINFOA* info) {
  // Only tools the control watches itself, with text it can copy.
  if (!info || info->cbSize != sizeof(TOOLINFOA) || info->uFlags != TTF_SUBCLASS || !findWindow(info->hwnd) ||
      info->lpszText == LPSTR_TEXTCALLBACKA || IS_INTRESOURCE(info->lpszText)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  for (const Tool& tool : control.tools)
    if (tool.window == info->hwnd && tool.id == info->uId) return false;
  control.tools.push_back(Tool{info->hwnd, info->uId, info->rect, info->lpszText});
  return true;
}

LRESULT CALLBACK tooltipProc(HWND self, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    // Without TTS_NOPREFIX a tip would strip ampersands; nothing here needs that.
    if (!(create->style & TTS_NOPREFIX)) {
      std::fprintf(stderr, "win32: tooltips need TTS_NOPREFIX here\n");
      return FALSE;
    }
    auto control = std::make_shared<TooltipControl>();
    control->self = self;
    control->alwaysTip = (create->style & TTS_ALWAYSTIP) != 0;
    control->font.reset(CreateFontA(kFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                    DEFAULT_PITCH | FF_SWISS, nullptr));
    if (!control->font) return FALSE;
    std::lock_guard lock(g_mutex);
    g_controls[self] = std::move(control);
    return TRUE;
  }
  auto control = controlOf(self);
  if (!control) return DefWindowProcA(self, message, wParam, lParam);
  switch (message) {
    case TTM_ADDTOOLA:
      return addTool(*control, reinterpret_cast<const TOOLINFOA*>(lParam)) ? TRUE : FALSE;
    case kRelayEvent: {
      const auto* relayed = reinterpret_cast<const MSG*>(lParam);
      if (relayed->message == WM_MOUSEMOVE)
        onMouseMove(*control, relayed->hwnd, POINT{GET_X_LPARAM(relayed->lParam), GET_Y_LPARAM(relayed->lParam)});
      else
        onClick(*control);
      return 0;
    }
    case WM_TIMER:
      onTimer(*control, wParam);
      return 0;
    case WM_PAINT:
      paint(*control);
      return 0;
    case WM_NCDESTROY: {
      killTimer(self, kDelayTimer);
      killTimer(self, kCheckTimer);
      std::lock_guard lock(g_mutex);
      g_controls.erase(self);
      return 0;
    }
    default:
      return DefWindowProcA(self, message, wParam, lParam);
  }
}

bool isWatchedMouseMessage(UINT message) {
  return message == WM_MOUSEMOVE || message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
}

}  // namespace

void relayToTooltips(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!isWatchedMouseMessage(message)) return;
  std::vector<HWND> watchers;
  {
    std::lock_guard lock(g_mutex);
    for (const auto& [self, control] : g_controls)
      if (std::any_of(control->tools.begin(), control->tools.end(),
                      [window](const Tool& tool) { return tool.window == window; }))
        watchers.push_back(self);
  }
  MSG relayed{};
  relayed.hwnd = window;
  relayed.message = message;
  relayed.wParam = wParam;
  relayed.lParam = lParam;
  for (HWND self : watchers) SendMessageA(self, kRelayEvent, 0, reinterpret_cast<LPARAM>(&relayed));
}

}  // namespace win32

using namespace win32;

extern "C" {

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
  constexpr DWORD kClassesWithTooltips =
      ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES;
  if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX) || !(init->dwICC & kClassesWithTooltips)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The class and its background brush live as long as the process.
  static const HBRUSH background = CreateSolidBrush(kBackground);
  WNDCLASSA info{};
  info.lpfnWndProc = tooltipProc;
  info.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  info.hbrBackground = background;
  info.lpszClassName = TOOLTIPS_CLASSA;
  if (!registerClass(&info, true) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return FALSE;
  return TRUE;
}

}  // extern "C"
