#include "buttons.h"

#include <commctrl.h>

#include "app_state.h"
#include "main_window.h"
#include "player.h"
#include "scene.h"

bool stayOnTopIndicator = false;

// The gaps of 3 to 9 pixels between neighbours belong to the window body: a click there
// drags the window.
ButtonEntry buttonTable[kButtonCount] = {
    {113, 355, 136, 384, " previous", previousTrack, nullptr},
    {140, 361, 166, 389, " play / pause", playPause, nullptr},
    {172, 364, 199, 395, " stop", stopTrack, nullptr},
    {206, 367, 234, 397, " next", nextTrack, nullptr},
    {244, 369, 272, 397, " credz", toggleCredits, nullptr},
    {282, 369, 310, 397, " stay on top", toggleStayOnTop, nullptr},
    {318, 366, 345, 396, " minimize", minimizeMainWindow, nullptr},
    {352, 362, 379, 391, " exit", requestQuit, nullptr},
};

int hitTestButtons(LPARAM position) {
  const LONG x = LOWORD(position);
  const LONG y = HIWORD(position);
  for (int index = 0; index < kButtonCount; ++index) {
    const ButtonEntry& button = buttonTable[index];
    if (button.top <= y && y <= button.bottom && button.left <= x && x <= button.right) {
      if (button.action) button.action();
      return index;
    }
  }
  return kNoButton;
}

void createTooltips() {
  for (ButtonEntry& button : buttonTable) {
    INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
    button.tooltipWindow =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, mainWindow, nullptr, instanceHandle, nullptr);
    SetWindowPos(button.tooltipWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // The control takes the right and bottom edges as outside, so the tooltip's area is a
    // pixel narrower and lower than the inclusive hit rectangle.
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = mainWindow;
    tool.uId = 0;
    tool.rect = RECT{button.left, button.top, button.right, button.bottom};
    tool.hinst = instanceHandle;
    tool.lpszText = const_cast<LPSTR>(button.tooltipText);
    SendMessageA(button.tooltipWindow, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void destroyTooltips() {
  for (const ButtonEntry& button : buttonTable)
    if (!DestroyWindow(button.tooltipWindow))
      reportTeardownFailure("Failed to Destroy Tooltip Window\n", "Destroy Window Failed");
}

void toggleStayOnTop() {
  toggleTopmost();
  stayOnTopIndicator = !stayOnTopIndicator;
}

void requestQuit() { quitRequested = true; }

bool playbackPaused() { return playerState() == PlayState::Paused; }
