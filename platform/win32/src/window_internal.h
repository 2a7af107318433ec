// Window classes and windows as the other parts of the layer see them.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

struct SDL_Window;

namespace win32 {

struct MessageQueue;

struct WindowClass {
  std::string name;
  ATOM atom = 0;
  WNDCLASSA info{};  // lpszClassName and lpszMenuName are not kept: the caller owns them
  int liveWindows = 0;
  // A class of the layer's own popups (tooltips): their windows are override-redirect X
  // windows without an OpenGL visual that never take the focus when shown.
  bool popup = false;
};

// RegisterClassA, and the layer's way to register its own popup classes.
ATOM registerClass(const WNDCLASSA* info, bool popup);

struct SdlWindowDeleter {
  void operator()(SDL_Window* window) const;
};

struct Window {
  HWND handle = nullptr;
  std::shared_ptr<WindowClass> windowClass;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND owner = nullptr;
  std::unique_ptr<SDL_Window, SdlWindowDeleter> sdl;
  uint32_t sdlId = 0;
  std::shared_ptr<MessageQueue> queue;
  HRGN region = nullptr;  // owned by the window once set
  HDC dc = nullptr;       // the class has CS_OWNDC semantics for every window here
  bool visible = false;
  bool iconic = false;
  bool hiddenForIconic = false;  // unmapped by us because no window manager iconifies
  bool needsPaint = false;
  bool destroying = false;
};

// The window behind a handle, or null once it is destroyed or if it never existed. A window
// whose destruction is under way (`destroying`) is still found.
std::shared_ptr<Window> findWindow(HWND handle);
std::shared_ptr<Window> findWindowBySdlId(uint32_t sdlId);
std::vector<std::shared_ptr<Window>> allWindows();

// Calls the window procedure; the shared pointer keeps the object alive meanwhile.
LRESULT callWindowProc(const std::shared_ptr<Window>& window, UINT message, WPARAM wParam, LPARAM lParam);

// Top-left corner of the window on the screen.
POINT windowScreenOrigin(const Window& window);
void moveWindowTo(Window& window, int x, int y);

// Keyboard focus as the layer tracks it (set by SetFocus and by the display system).
void noteFocus(HWND window);
HWND trackedFocus();

// Starts SDL's video subsystem once; false where no display can be opened.
bool ensureVideo();
// SDL gathers display events only on the thread that started video.
bool onVideoThread();

}  // namespace win32
