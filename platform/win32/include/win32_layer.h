// Linux-side hooks of the window layer, for the other platform layers, the resource
// compiler's tables and tests. Program code (app/, player/, render/, skinmesh/, assets/)
// never includes this header.
#pragma once

#include "windows.h"

struct SDL_Window;

// ---- start and end of a program -------------------------------------------------------
// Called by the layer's main around WinMain: starts the display connection (a missing
// display is reported when a window cannot be created) and closes it after WinMain.
void win32Initialise();
void win32Shutdown();

// ---- resources -------------------------------------------------------------------------
// One entry of the table that tools/rescomp generates from a resource script. A type or a
// name is either a string (str non-null) or an integer identifier (str null, id set).
struct EmbeddedResourceKey {
  const char* str;
  WORD id;
};
struct EmbeddedResource {
  EmbeddedResourceKey type;
  EmbeddedResourceKey name;
  const unsigned char* data;
  DWORD size;
};
// Defined by the generated table that is linked into each program.
extern "C" const EmbeddedResource kEmbeddedResources[];
extern "C" const size_t kEmbeddedResourceCount;

// ---- windows ---------------------------------------------------------------------------
// The SDL window behind a window handle (created with SDL_WINDOW_OPENGL, 3.3 core attributes
// and a depth buffer); null for a handle that is not a live window.
SDL_Window* win32SdlWindow(HWND window);

// ---- memory device contexts ------------------------------------------------------------
// A device context that draws straight into caller-owned pixels (rows top-down, pitch in
// bytes). The caller keeps the pixels alive until win32DeleteMemoryDC.
enum class MemoryDcFormat { R5G6B5, X8R8G8B8, A8R8G8B8 };
HDC win32CreateMemoryDC(void* pixels, int width, int height, int pitch, MemoryDcFormat format);
BOOL win32DeleteMemoryDC(HDC dc);

// ---- clock test interface --------------------------------------------------------------
// Sets the value timeGetTime reports now; freezes it (it then changes only through
// win32ClockSet and win32ClockStep) or lets it run on from its present value.
void win32ClockSet(DWORD milliseconds);
void win32ClockFreeze(bool frozen);
void win32ClockStep(DWORD milliseconds);
