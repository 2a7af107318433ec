// The program's entry: start-up in a fixed order, the main loop and the orderly shutdown.

#include "app_state.h"
#include "buttons.h"
#include "device.h"
#include "frame.h"
#include "main_window.h"
#include "player.h"
#include "shell.h"

HINSTANCE instanceHandle = nullptr;
bool quitRequested = false;
bool clickPending = false;
int clickedButton = kNoButton;

namespace {

// The click hand-off: the button a click hit since the last pass, or kNoButton.
int takeClickedButton() {
  if (!clickPending) return kNoButton;
  clickPending = false;
  return clickedButton;
}

}  // namespace

void pumpOneMessage() {
  MSG message;
  if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  instanceHandle = instance;

  // Start-up. Each step ends the program through fatalError when it fails, so no later
  // step runs: window; device; tooltips; sound system and playlist; first track.
  createMainWindow();
  createDevice(mainWindow);
  createTooltips();
  if (!playerInit(44100)) fatalError("AudioInit failed!");
  playCurrent();

  // One pass: one message, the player's poll (and the caption when it changed), the click
  // hand-off, one frame. The pace is that of presenting a frame; nothing sleeps here.
  while (!quitRequested) {
    pumpOneMessage();
    playerPoll();
    renderFrame(takeClickedButton());
  }

  // Orderly shutdown: sound first, the tooltips, then the device, then the window it drew
  // into.
  playerShutdown();
  destroyTooltips();
  releaseDevice();
  destroyMainWindow();
  return 0;
}
