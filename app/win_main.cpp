// The program's entry: start-up in a fixed order, the main loop and the orderly shutdown.

#include "app_state.h"
#include "buttons.h"
#include "caption.h"
#include "device.h"
#include "main_window.h"
#include "player.h"
#include "scene.h"
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

// The caption paints on the wagons of the train's mesh, which the scene owns.
IDirect3DTexture9* wagonTexture(UINT material) { return cabsMesh->textureAt(material); }

// Rebuilds the caption from the playback state and paints it onto the wagons.
void refreshCaption() {
  char pieces[kCaptionPieceCount][kCaptionPieceSize];
  buildCaptionLines(pieces);
  drawCaption(pieces, wagonTexture);
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
  // step runs: window; device; scene; tooltips; sound system and playlist; first track.
  createMainWindow();
  createDevice(mainWindow);
  createScene();
  createTooltips();
  if (!playerInit(44100)) fatalError("AudioInit failed!");
  playCurrent();

  // One pass: one message, the player's poll (and the caption when it changed), the click
  // hand-off, one frame. The pace is that of presenting a frame; nothing sleeps here.
  while (!quitRequested) {
    pumpOneMessage();
    if (playerPoll()) refreshCaption();
    renderFrame(takeClickedButton());
  }

  // Orderly shutdown: sound first, the tooltips, the scene, then the device, then the window
  // it drew into.
  playerShutdown();
  destroyTooltips();
  releaseScene();
  releaseDevice();
  destroyMainWindow();
  return 0;
}
