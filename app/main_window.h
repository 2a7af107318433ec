// The program's one top-level window: a 512 x 512 popup, centred on the screen and cut to
// the outline stored in the resource IDR_REGION, moved by dragging its body.
#pragma once

#include <windows.h>

#include "shell.h"

// Empty before the window exists and after it has been destroyed.
extern HWND mainWindow;

// Registers the class, creates the window, applies its outline, shows it and gives it the
// keyboard focus. Every failure ends the program through fatalError.
void createMainWindow();
// Destroys the window (if there is one) and unregisters the class. Failures are reported
// (debugger output and a topmost error box) and passed over.
void destroyMainWindow();
LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The minimise button's action.
void minimizeMainWindow();
// Makes the window topmost, or returns it to the normal z-order when it is topmost.
void toggleTopmost();
