// The subset of the common controls that this program uses: initialisation and the tooltip
// control, implemented by the window layer. Only the tooltip class exists here.
#pragma once

#include "windows.h"

struct INITCOMMONCONTROLSEX {
  DWORD dwSize;
  DWORD dwICC;
};
typedef INITCOMMONCONTROLSEX* LPINITCOMMONCONTROLSEX;

#define ICC_LISTVIEW_CLASSES 0x00000001
#define ICC_TREEVIEW_CLASSES 0x00000002
#define ICC_BAR_CLASSES 0x00000004
#define ICC_TAB_CLASSES 0x00000008
#define ICC_WIN95_CLASSES 0x000000FF

#define TOOLTIPS_CLASSA "tooltips_class32"

// Tooltip styles.
#define TTS_ALWAYSTIP 0x01
#define TTS_NOPREFIX 0x02

// Tool flags. Only TTF_SUBCLASS tools exist here: the control watches the tool window's
// mouse messages itself.
#define TTF_SUBCLASS 0x0010

#define TTM_ADDTOOLA (WM_USER + 4)

#define LPSTR_TEXTCALLBACKA reinterpret_cast<LPSTR>(static_cast<LONG_PTR>(-1))

// A tool: a rectangle of a window (client coordinates, right and bottom exclusive) and its
// text. cbSize must be sizeof(TOOLINFOA).
struct TOOLINFOA {
  UINT cbSize;
  UINT uFlags;
  HWND hwnd;
  UINT_PTR uId;
  RECT rect;
  HINSTANCE hinst;
  LPSTR lpszText;
  LPARAM lParam;
};
typedef TOOLINFOA* LPTOOLINFOA;

extern "C" {
// Registers the tooltip class "tooltips_class32" when the flags ask for any class that
// carries tooltips (bars, tabs, tree and list views: ICC_WIN95_CLASSES does). FALSE for a
// structure whose size is not sizeof(INITCOMMONCONTROLSEX) and for flags without those.
BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);
}
