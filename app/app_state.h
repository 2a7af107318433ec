// Process-wide state of the program's shell, shared by the main loop, the window procedure
// and the button actions. Everything runs on the one thread that entered WinMain, so these
// are plain variables.
#pragma once

#include <windows.h>

// The caption of the main window and of every message box the program shows.
inline constexpr char kProgramCaption[] = "KQ DIVU RAZOV VUZE";

// The module handle WinMain received: window class, windows and resources use it.
extern HINSTANCE instanceHandle;
// Set by a close request, a key press or the exit button; the main loop ends after the
// pass in progress. Never cleared.
extern bool quitRequested;
// A click hit a button and the main loop has not yet handed it to the frame.
extern bool clickPending;
// The button index (0..7) the last left click hit, or kNoButton.
extern int clickedButton;

// Reports a failure while shutting down: the text to the debugger output, and a topmost
// error box captioned with the program's name. The shutdown then goes on.
void reportTeardownFailure(const char* debugText, const char* boxText);

// One step of the main loop: takes at most one waiting message of the thread, translates
// and dispatches it; returns at once when none is waiting.
void pumpOneMessage();
