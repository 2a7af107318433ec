// The tooltip control of the common controls ("tooltips_class32", commctrl.h).
#pragma once

#include <windows.h>

namespace win32 {

// Shows a mouse message of a window to every tooltip control with a TTF_SUBCLASS tool on
// that window, before the window's own procedure sees it: this is how such a control
// watches its tools without the program relaying anything.
void relayToTooltips(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace win32
