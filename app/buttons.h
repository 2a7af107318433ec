// The eight on-screen buttons along the window's lower edge: their hit rectangles in window
// coordinates, tooltip texts and actions. Button indices follow the table's order; the
// renderer's per-button arrays use the same order.
#pragma once

#include <windows.h>

#include "shell.h"

inline constexpr int kButtonCount = 8;
// The index that means "no button": a click on the window body, or no click to report.
inline constexpr int kNoButton = 8;

struct ButtonEntry {
  LONG left;
  LONG top;
  LONG right;   // inclusive
  LONG bottom;  // inclusive
  const char* tooltipText;
  void (*action)();
  HWND tooltipWindow;
};

// 0 previous, 1 play / pause, 2 stop, 3 next, 4 credits, 5 stay on top, 6 minimise, 7 exit.
extern ButtonEntry buttonTable[kButtonCount];

// Hit-tests the packed client position of a left click (x in the low 16 bits, y in the
// high 16 bits, both unsigned) against the table in index order, all four bounds
// inclusive. Runs the action of the button hit before returning its index; kNoButton when
// none is hit.
int hitTestButtons(LPARAM position);

// Creates one tooltip control per button over the main window, in index order, each
// watching its button's rectangle itself. Failures are not detected: a button without its
// tooltip still works.
void createTooltips();
// Destroys the tooltip controls in index order; a control that cannot be destroyed is
// reported (debugger output and a topmost error box) and the next one goes on.
void destroyTooltips();

// The stay-on-top action: toggles the window's topmost state and the indicator.
void toggleStayOnTop();
// The exit action: the main loop ends after the pass in progress.
void requestQuit();
