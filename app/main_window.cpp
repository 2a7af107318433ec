#include "main_window.h"

#include "app_state.h"
#include "buttons.h"
#include "resource.h"
#include "resource_data.h"
#include "shell.h"

HWND mainWindow = nullptr;

namespace {

constexpr char kWindowClassName[] = "KQ APP Class";

}  // namespace

// Failures while tearing down are reported and then passed over: the program is ending
// anyway, and the remaining steps should still run.
void reportTeardownFailure(const char* debugText, const char* boxText) {
  OutputDebugStringA(debugText);
  MessageBoxA(nullptr, boxText, kProgramCaption, MB_ICONERROR | MB_TOPMOST);
}

void createMainWindow() {
  WNDCLASSA windowClass{};
  windowClass.style = CS_OWNDC;
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instanceHandle;
  windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kWindowClassName;
  if (!RegisterClassA(&windowClass)) fatalError("Error registering window class");

  const int x = (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2;
  mainWindow = CreateWindowExA(0, kWindowClassName, kProgramCaption, WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, x, y,
                               kWindowWidth, kWindowHeight, nullptr, nullptr, instanceHandle, nullptr);
  if (!mainWindow) fatalError("Error creating window");

  // The outline is used where it lies in the module; the system owns the region built
  // from it once it is applied, so nothing here is freed.
  ResourceData outline;
  if (!outline.fromResource(MAKEINTRESOURCEA(IDR_REGION), "BINARY")) fatalError("Error loading IDR_REGION");
  HRGN region = ExtCreateRegion(nullptr, outline.size, static_cast<const RGNDATA*>(outline.data));
  if (!region) fatalError("Error creating region.");
  SetWindowRgn(mainWindow, region, FALSE);

  ShowWindow(mainWindow, SW_SHOW);
  UpdateWindow(mainWindow);
  SetFocus(mainWindow);
}

void destroyMainWindow() {
  if (mainWindow) {
    if (DestroyWindow(mainWindow)) {
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    } else {
      reportTeardownFailure("Failed to DestroyWindow\n", "Destroy Window Failed");
    }
    mainWindow = nullptr;
  }
  if (!UnregisterClassA(kWindowClassName, instanceHandle))
    reportTeardownFailure("Failed to Unregister Window\n", "Unregister Failed");
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT: {
      // Frames come from the rendering device; painting only validates the window.
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_CLOSE:
      // The window stays until the orderly shutdown destroys it after the current frame.
      quitRequested = true;
      return 0;
    case WM_KEYDOWN:
      quitRequested = true;
      return 0;
    case WM_LBUTTONDOWN:
      clickedButton = hitTestButtons(lParam);
      if (clickedButton == kNoButton)
        SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);  // the system drags the window
      else
        clickPending = true;
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void minimizeMainWindow() { ShowWindow(mainWindow, SW_MINIMIZE); }

void toggleTopmost() {
  const bool topmost = (GetWindowLongA(mainWindow, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  SetWindowPos(mainWindow, topmost ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}
