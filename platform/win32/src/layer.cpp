// Bringing the layer up and down around a program's run.
#include <SDL.h>

#include <win32_layer.h>

#include "termination.h"
#include "window_internal.h"

void win32Initialise() {
  timeGetTime();  // the clock counts from here at the latest
  win32::installTerminationHandlers();
  // A missing display is not fatal here: the program learns of it when its window cannot
  // be created, and reports that in its own words.
  win32::ensureVideo();
}

// Windows the program left behind go with the display connection; their procedures are
// not called after WinMain has returned.
void win32Shutdown() { SDL_Quit(); }
