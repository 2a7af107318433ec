#include "fatal_error.h"

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
  std::exit(5);
}
