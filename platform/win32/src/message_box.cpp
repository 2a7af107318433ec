// Message boxes and debugger output. Both always reach stderr, so a run without a display
// (or a log of a test run) still shows what the user would have been told.
#include <SDL.h>

#include <cstdio>

#include <windows.h>

#include "x11_bridge.h"

extern "C" {

int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  const char* body = text ? text : "";
  std::fprintf(stderr, "%s\n", body);
  std::fflush(stderr);

  SDL_MessageBoxButtonData ok{};
  ok.flags = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
  ok.buttonid = IDOK;
  ok.text = "OK";
  SDL_MessageBoxData box{};
  box.flags = (type & MB_ICONERROR) ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  box.window = nullptr;  // the box is modal for the thread whoever its owner is
  box.title = caption ? caption : "Error";
  box.message = body;
  box.numbuttons = 1;
  box.buttons = &ok;
  int pressed = 0;
  // Without a display SDL reports failure at once and stderr is all there is.
  const auto show = [&] { SDL_ShowMessageBox(&box, &pressed); };
  if (type & MB_TOPMOST)
    win32::x11ShowKeptAbove(box.title, show);
  else
    show();
  return IDOK;
}

void WINAPI OutputDebugStringA(LPCSTR text) {
  if (!text) return;
  std::fputs(text, stderr);
  std::fflush(stderr);
}

}  // extern "C"
