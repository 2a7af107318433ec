// The subset of the Win32 API that this program and its libraries call, implemented on
// Linux over SDL2, FreeType and fontconfig. Names, types, values and behaviour follow the
// real interface for the arguments actually used; unsupported arguments fail.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define APIENTRY
#define STDMETHODCALLTYPE
#define STDAPI extern "C" HRESULT
#define DECLARE_HANDLE(name) \
  struct name##__;           \
  typedef struct name##__* name

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef int INT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef char CHAR;
typedef short SHORT;
typedef unsigned short USHORT;
typedef float FLOAT;
typedef int32_t HRESULT;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef ULONG_PTR DWORD_PTR;
typedef ULONG_PTR SIZE_T;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef WORD ATOM;
typedef DWORD COLORREF;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef void* PVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;
typedef LONG* PLONG;
typedef void* HANDLE;

DECLARE_HANDLE(HINSTANCE);
typedef HINSTANCE HMODULE;
DECLARE_HANDLE(HWND);
DECLARE_HANDLE(HDC);
DECLARE_HANDLE(HICON);
typedef HICON HCURSOR;
DECLARE_HANDLE(HMENU);
DECLARE_HANDLE(HGDIOBJ__);
typedef HGDIOBJ__ HGDIOBJ;
typedef HGDIOBJ HBRUSH;
typedef HGDIOBJ HRGN;
typedef HGDIOBJ HFONT;
typedef HGDIOBJ HBITMAP;
DECLARE_HANDLE(HRSRC);
typedef HANDLE HGLOBAL;
DECLARE_HANDLE(HKEY);
DECLARE_HANDLE(HMONITOR);
typedef HKEY* PHKEY;
typedef LONG LSTATUS;
typedef DWORD REGSAM;
typedef INT_PTR (*FARPROC)();

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

// ---- results ---------------------------------------------------------------------------
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define MAKE_HRESULT(sev, fac, code)                                                             \
  static_cast<HRESULT>((static_cast<uint32_t>(sev) << 31) | (static_cast<uint32_t>(fac) << 16) | \
                       static_cast<uint32_t>(code))
#define S_OK static_cast<HRESULT>(0)
#define S_FALSE static_cast<HRESULT>(1)
#define E_NOTIMPL static_cast<HRESULT>(0x80004001u)
#define E_NOINTERFACE static_cast<HRESULT>(0x80004002u)
#define E_POINTER static_cast<HRESULT>(0x80004003u)
#define E_FAIL static_cast<HRESULT>(0x80004005u)
#define E_OUTOFMEMORY static_cast<HRESULT>(0x8007000Eu)
#define E_INVALIDARG static_cast<HRESULT>(0x80070057u)

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_CLASS_DOES_NOT_EXIST 1411L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_CLASS_HAS_WINDOWS 1412L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_INDEX 1413L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L

// ---- COM basics ------------------------------------------------------------------------
struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
typedef GUID IID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
inline bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }

extern "C" const IID IID_IUnknown;

// The COM base interface. Like the real one it has no virtual destructor: objects are
// destroyed through Release.
struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;

 protected:
  ~IUnknown() = default;
};
typedef IUnknown* LPUNKNOWN;

// ---- geometry --------------------------------------------------------------------------
struct POINT {
  LONG x;
  LONG y;
};
struct SIZE {
  LONG cx;
  LONG cy;
};
struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
typedef RECT* LPRECT;
typedef const RECT* LPCRECT;
typedef POINT* LPPOINT;

#define LOWORD(l) (static_cast<WORD>(static_cast<DWORD_PTR>(l) & 0xFFFF))
#define HIWORD(l) (static_cast<WORD>((static_cast<DWORD_PTR>(l) >> 16) & 0xFFFF))
#define MAKELONG(a, b) static_cast<LONG>(static_cast<WORD>(a) | (static_cast<DWORD>(static_cast<WORD>(b)) << 16))
#define MAKELPARAM(l, h) static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(l, h)))
#define GET_X_LPARAM(lp) static_cast<int>(static_cast<short>(LOWORD(lp)))
#define GET_Y_LPARAM(lp) static_cast<int>(static_cast<short>(HIWORD(lp)))
#define RGB(r, g, b)                                                                            \
  static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<WORD>(static_cast<BYTE>(g)) << 8) | \
                        (static_cast<DWORD>(static_cast<BYTE>(b)) << 16))
#define GetRValue(c) static_cast<BYTE>((c)&0xFF)
#define GetGValue(c) static_cast<BYTE>(((c) >> 8) & 0xFF)
#define GetBValue(c) static_cast<BYTE>(((c) >> 16) & 0xFF)

// ---- resources -------------------------------------------------------------------------
// An integer identifier travels in the pointer's low 16 bits, as on the real system.
#define IS_INTRESOURCE(p) ((reinterpret_cast<ULONG_PTR>(p) >> 16) == 0)
#define MAKEINTRESOURCEA(i) reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i)))
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_RCDATA MAKEINTRESOURCEA(10)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)

extern "C" {
// Finds a resource of the program's own module (module must be null or the program's own
// handle); names and types are compared without regard to case. Null when absent.
HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
// The resource's bytes stay where the program image holds them: loading hands out their
// address, locking returns it unchanged, and nothing is ever freed.
HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource);
DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource);
LPVOID WINAPI LockResource(HGLOBAL data);
}

// ---- messages and windows --------------------------------------------------------------
typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
typedef MSG* LPMSG;

// What WM_NCCREATE and WM_CREATE carry in lParam.
struct CREATESTRUCTA {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCSTR lpszName;
  LPCSTR lpszClass;
  DWORD dwExStyle;
};
typedef CREATESTRUCTA* LPCREATESTRUCTA;

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};
typedef PAINTSTRUCT* LPPAINTSTRUCT;

#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_SHOWWINDOW 0x0018
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_NCLBUTTONDOWN 0x00A1
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCHAR 0x0106
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MOUSELEAVE 0x02A3
#define WM_USER 0x0400

#define HTCLIENT 1
#define HTCAPTION 2
#define SC_CLOSE 0xF060
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_OWNDC 0x0020

#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_VISIBLE 0x10000000L
#define WS_MINIMIZE 0x20000000L
#define WS_CAPTION 0x00C00000L
#define WS_SYSMENU 0x00080000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_EX_TOPMOST 0x00000008L
#define WS_EX_TOOLWINDOW 0x00000080L
#define CW_USEDEFAULT static_cast<int>(0x80000000)

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)

#define HWND_TOP reinterpret_cast<HWND>(0)
#define HWND_BOTTOM reinterpret_cast<HWND>(1)
#define HWND_TOPMOST reinterpret_cast<HWND>(-1)
#define HWND_NOTOPMOST reinterpret_cast<HWND>(-2)
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1

#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5

#define MB_OK 0x00000000L
#define MB_ICONERROR 0x00000010L
#define MB_ICONHAND MB_ICONERROR
#define MB_TOPMOST 0x00040000L
#define IDOK 1

// Virtual-key codes the window layer reports.
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_KANA 0x15
#define VK_HANGUL 0x15
#define VK_HANJA 0x19
#define VK_KANJI 0x19
#define VK_ESCAPE 0x1B
#define VK_CONVERT 0x1C
#define VK_NONCONVERT 0x1D
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_SNAPSHOT 0x2C
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_LWIN 0x5B
#define VK_RWIN 0x5C
#define VK_APPS 0x5D
#define VK_SLEEP 0x5F
#define VK_NUMPAD0 0x60
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_F4 0x73
#define VK_F10 0x79
#define VK_F12 0x7B
#define VK_F13 0x7C
#define VK_F24 0x87
#define VK_NUMLOCK 0x90
#define VK_SCROLL 0x91
#define VK_OEM_NEC_EQUAL 0x92
#define VK_BROWSER_BACK 0xA6
#define VK_BROWSER_FORWARD 0xA7
#define VK_BROWSER_REFRESH 0xA8
#define VK_BROWSER_STOP 0xA9
#define VK_BROWSER_SEARCH 0xAA
#define VK_BROWSER_FAVORITES 0xAB
#define VK_BROWSER_HOME 0xAC
#define VK_VOLUME_MUTE 0xAD
#define VK_VOLUME_DOWN 0xAE
#define VK_VOLUME_UP 0xAF
#define VK_MEDIA_NEXT_TRACK 0xB0
#define VK_MEDIA_PREV_TRACK 0xB1
#define VK_MEDIA_STOP 0xB2
#define VK_MEDIA_PLAY_PAUSE 0xB3
#define VK_LAUNCH_MAIL 0xB4
#define VK_LAUNCH_MEDIA_SELECT 0xB5
#define VK_LAUNCH_APP1 0xB6
#define VK_LAUNCH_APP2 0xB7
#define VK_OEM_1 0xBA
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF
#define VK_OEM_3 0xC0
#define VK_OEM_4 0xDB
#define VK_OEM_5 0xDC
#define VK_OEM_6 0xDD
#define VK_OEM_7 0xDE
#define VK_OEM_102 0xE2

extern "C" {
// Class names compare without regard to case. Fails (0, ERROR_CLASS_ALREADY_EXISTS) for a
// name in use, and (0, ERROR_INVALID_PARAMETER) for extra class or window bytes.
ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass);
// Fails (FALSE, ERROR_CLASS_DOES_NOT_EXIST) for a class that is not registered, and
// (FALSE, ERROR_CLASS_HAS_WINDOWS) while windows of the class still exist.
BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance);
// A WS_POPUP window of a registered class; on this system the window is an SDL window that
// can carry an OpenGL context. Sends WM_NCCREATE and WM_CREATE before it returns.
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                            int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// Sends WM_DESTROY and WM_NCDESTROY; FALSE (ERROR_INVALID_WINDOW_HANDLE) for a handle that
// is not a live window.
BOOL WINAPI DestroyWindow(HWND window);
BOOL WINAPI IsWindow(HWND window);
// SW_SHOW/SW_SHOWNORMAL/SW_SHOWDEFAULT, SW_HIDE, SW_MINIMIZE and SW_RESTORE; returns whether
// the window was visible before. Without a window manager a minimised window is unmapped.
BOOL WINAPI ShowWindow(HWND window, int command);
// Sends WM_PAINT at once if the window is visible and has not been painted since it was
// shown or exposed.
BOOL WINAPI UpdateWindow(HWND window);
// Raises the window and gives it the X input focus (set on the server, as no window
// manager may run); sends WM_KILLFOCUS/WM_SETFOCUS and returns the previous focus.
HWND WINAPI SetFocus(HWND window);
HWND WINAPI GetFocus();
// GWL_STYLE (with WS_VISIBLE and WS_MINIMIZE as they are now) and GWL_EXSTYLE (with
// WS_EX_TOPMOST as last set); other indices fail with ERROR_INVALID_INDEX.
LONG WINAPI GetWindowLongA(HWND window, int index);
// HWND_TOPMOST/HWND_NOTOPMOST set the always-on-top state, HWND_TOP raises; moves and sizes
// unless SWP_NOMOVE/SWP_NOSIZE; SWP_SHOWWINDOW/SWP_HIDEWINDOW show or hide.
BOOL WINAPI SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL WINAPI GetWindowRect(HWND window, LPRECT rect);
BOOL WINAPI GetClientRect(HWND window, LPRECT rect);
BOOL WINAPI IsIconic(HWND window);
// SM_CXSCREEN/SM_CYSCREEN: the primary display's size; 0 for anything else.
int WINAPI GetSystemMetrics(int index);

// Takes at most one message of the calling thread's queue (window null: any window).
// Input is gathered from the display system before the queue is looked at.
BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
// Puts WM_CHAR/WM_SYSCHAR for a character key at the head of the queue; TRUE for any key
// message.
BOOL WINAPI TranslateMessage(const MSG* msg);
LRESULT WINAPI DispatchMessageA(const MSG* msg);
// Calls the window procedure directly, on the calling thread, and returns its result.
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// WM_QUIT is returned once the posted and input messages before it have been taken.
void WINAPI PostQuitMessage(int exitCode);
// Default handling: Alt+F4 (WM_SYSKEYDOWN) becomes WM_CLOSE; WM_CLOSE destroys the window;
// WM_NCLBUTTONDOWN with HTCAPTION runs a modal move loop until the left button is released.
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Marks the window painted and returns its own DC; the server has already filled exposed
// parts with the class background, so fErase is FALSE.
HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint);

// Only the system's standard icons and cursors (null instance, IDI_*/IDC_* identifiers).
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);

// Shows a modal box captioned as given (an SDL message box) and writes its text to stderr;
// where no display can show a box, only stderr. Returns IDOK when the box is closed.
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
// Writes the text to stderr unchanged.
void WINAPI OutputDebugStringA(LPCSTR text);
// Per thread.
DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD error);
}

// ---- GDI -------------------------------------------------------------------------------
struct RGNDATAHEADER {
  DWORD dwSize;
  DWORD iType;
  DWORD nCount;
  DWORD nRgnSize;
  RECT rcBound;
};
struct RGNDATA {
  RGNDATAHEADER rdh;
  char Buffer[1];
};
struct XFORM {
  FLOAT eM11, eM12, eM21, eM22, eDx, eDy;
};
// A colour of a palette; Direct3D keeps its alpha in peFlags.
struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};
typedef PALETTEENTRY* LPPALETTEENTRY;
#define RDH_RECTANGLES 1
#define SYSTEM_FONT 13
#define CLR_INVALID 0xFFFFFFFF

#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_BOLD 700
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define OUT_DEFAULT_PRECIS 0
#define OUT_TT_PRECIS 4
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define DEFAULT_PITCH 0
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30
#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3

extern "C" {
// Builds a region from RGNDATA. Null when the header is not a rectangle list, when count,
// array size or bounds disagree with the rectangles, or when the data is shorter than it says.
HRGN WINAPI ExtCreateRegion(const XFORM* transform, DWORD count, const RGNDATA* data);
BOOL WINAPI PtInRegion(HRGN region, int x, int y);
int WINAPI GetRgnBox(HRGN region, LPRECT rect);
// The window takes ownership of the region, which becomes its shape on screen and for input.
int WINAPI SetWindowRgn(HWND window, HRGN region, BOOL redraw);
// FALSE for a region a window owns and for an object still selected into a DC; stock
// objects are never freed.
BOOL WINAPI DeleteObject(HGDIOBJ object);
// The stock brushes WHITE_BRUSH to NULL_BRUSH, and SYSTEM_FONT (every DC's font until another
// is selected).
HGDIOBJ WINAPI GetStockObject(int index);
// Brushes and fonts; returns the previously selected one.
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
HBRUSH WINAPI CreateSolidBrush(COLORREF color);
// Memory DCs only: fills the rectangle (clipped to the bitmap, right/bottom exclusive) with
// the brush's colour in the DC's format; in 32-bit formats the alpha byte is left 0.
int WINAPI FillRect(HDC dc, const RECT* rect, HBRUSH brush);

// A font for the face name, resolved through fontconfig to an installed face of the same
// metrics where one exists ("Times New Roman" becomes Liberation Serif); with no name, the
// pitch-and-family bits choose serif, sans-serif or monospace. Height < 0 is the character
// (em) height in pixels, > 0 the cell height, 0 a default. Weight and italic choose the
// style; NONANTIALIASED_QUALITY draws without anti-aliasing. Width, escapement,
// orientation, underline and strike-out other than 0 and character sets other than ANSI
// and DEFAULT are not supported (null, ERROR_INVALID_PARAMETER).
HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                         DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);
// Colours of text output; return the previous colour, CLR_INVALID for a bad DC.
COLORREF WINAPI SetBkColor(HDC dc, COLORREF color);
COLORREF WINAPI SetTextColor(HDC dc, COLORREF color);
// Memory DCs only. Draws Windows-1252 text in the background mode OPAQUE: the cell (the
// font's ascent plus descent high, the sum of the advances wide, its top-left at x, y) is
// filled with the background colour and the glyphs are blended over it in the text colour,
// anti-aliased unless the font says otherwise; everything is clipped to the cell and to
// the bitmap.
BOOL WINAPI TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
}

// ---- kernel, registry, processor -------------------------------------------------------
typedef struct _SYSTEM_INFO {
  union {
    DWORD dwOemId;
    struct {
      WORD wProcessorArchitecture;
      WORD wReserved;
    };
  };
  DWORD dwPageSize;
  LPVOID lpMinimumApplicationAddress;
  LPVOID lpMaximumApplicationAddress;
  DWORD_PTR dwActiveProcessorMask;
  DWORD dwNumberOfProcessors;
  DWORD dwProcessorType;
  DWORD dwAllocationGranularity;
  WORD wProcessorLevel;
  WORD wProcessorRevision;
} SYSTEM_INFO, *LPSYSTEM_INFO;

#define PROCESSOR_ARCHITECTURE_INTEL 0
#define PROCESSOR_ARCHITECTURE_ARM 5
#define PROCESSOR_ARCHITECTURE_AMD64 9
#define PROCESSOR_ARCHITECTURE_ARM64 12
#define PROCESSOR_ARCHITECTURE_UNKNOWN 0xFFFF

#define PF_FLOATING_POINT_PRECISION_ERRATA 0
#define PF_FLOATING_POINT_EMULATED 1
#define PF_COMPARE_EXCHANGE_DOUBLE 2
#define PF_MMX_INSTRUCTIONS_AVAILABLE 3
#define PF_XMMI_INSTRUCTIONS_AVAILABLE 6
#define PF_3DNOW_INSTRUCTIONS_AVAILABLE 7
#define PF_RDTSC_INSTRUCTION_AVAILABLE 8
#define PF_PAE_ENABLED 9
#define PF_XMMI64_INSTRUCTIONS_AVAILABLE 10
#define PF_SSE3_INSTRUCTIONS_AVAILABLE 13

#define HKEY_CLASSES_ROOT reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u))
#define HKEY_CURRENT_USER reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u))
#define HKEY_LOCAL_MACHINE reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u))
#define KEY_QUERY_VALUE 0x0001
#define KEY_READ 0x20019
#define REG_NONE 0
#define REG_SZ 1
#define REG_DWORD 4

extern "C" {
// The real machine: architecture (AMD64, ARM64), processor count and page size.
void WINAPI GetSystemInfo(LPSYSTEM_INFO info);
// From CPUID on x86; FALSE for everything on other processors.
BOOL WINAPI IsProcessorFeaturePresent(DWORD feature);
// There is no registry here: every key is absent (ERROR_FILE_NOT_FOUND).
LSTATUS WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD dataSize);
LSTATUS WINAPI RegCloseKey(HKEY key);
// Null name: the program's own module. The platform's DLLs are not loaded here, so any
// other name is not found.
HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);
// Nothing is exported here: null with ERROR_PROC_NOT_FOUND.
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);
}

#include "mmsystem.h"

// The program's entry point, called by the window layer's main with the program's module
// handle, no previous instance, the command line after the program name and SW_SHOWDEFAULT.
extern "C" int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);
