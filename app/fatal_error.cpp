#include "shell.h"

#include <cstdio>
#include <cstdlib>

#include "app_state.h"
#include "device.h"
#include "fmod.h"
#include "main_window.h"
#include "scene.h"

void fatalError(const char* message) {
  // A sound system that was started fades out and closes (a no-op before it starts), so the
  // process does not end mid-waveform with a click.
  FSOUND_Close();
  // The scene and the device are released here, before the window they draw into.
  releaseScene();
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
