#include "shell.h"

#include <cstdio>
#include <cstdlib>

#include "app_state.h"
#include "device.h"
#include "main_window.h"

void fatalError(const char* message) {
  // The scene and the device are released here, before the window they draw into.
  releaseDevice();
  destroyMainWindow();
  OutputDebugStringA(message);
  OutputDebugStringA("\n");
  MessageBoxA(nullptr, message, kProgramCaption, MB_OK);
  // Threads of the platform layers (audio, decoding) may still run: static destructors
  // must not run under them, so the process ends without them once the output is out.
  std::fflush(nullptr);
  std::_Exit(5);
}
