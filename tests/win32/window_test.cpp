// Real windows on a private X server without a window manager (tests/support/with-xvfb):
// the queue, the window's shape on screen, keys and clicks synthesised with xdotool, the
// caption drag and the message box.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <commctrl.h>
#include <win32_layer.h>

#include "x_close_request.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "region_bytes.h"

namespace {

struct Seen {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Seen> g_seen;
int g_dragsLeft = 0;             // clicks that start a caption drag
UINT g_destroyOn = 0;            // a message on which the procedure destroys its window
HWND g_destroyTarget = nullptr;  // ... or this one instead
constexpr UINT kAnswerMessage = WM_USER + 50;

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  g_seen.push_back({window, message, wParam, lParam});
  if (g_destroyOn && message == g_destroyOn) {
    g_destroyOn = 0;
    DestroyWindow(g_destroyTarget ? std::exchange(g_destroyTarget, nullptr) : window);
  }
  switch (message) {
    case WM_CLOSE:
      return 0;  // noted only, as the program does
    case kAnswerMessage:
      return 1234;
    case WM_LBUTTONDOWN:
      if (g_dragsLeft > 0) {
        --g_dragsLeft;
        SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

constexpr char kClassName[] = "KQ Test Class";

std::optional<Seen> seen(UINT message, std::optional<WPARAM> wParam = std::nullopt) {
  for (const Seen& s : g_seen)
    if (s.message == message && (!wParam || s.wParam == *wParam)) return s;
  return std::nullopt;
}

size_t indexOf(UINT message, WPARAM wParam) {
  for (size_t i = 0; i < g_seen.size(); ++i)
    if (g_seen[i].message == message && g_seen[i].wParam == wParam) return i;
  return SIZE_MAX;
}

// Runs the program's kind of loop (translate and dispatch) until done or the timeout. The
// timeout is generous: a loaded machine may take seconds to start xdotool, and success
// returns at once.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      if (done()) return true;
    }
    if (done()) return true;
    SDL_Delay(5);
  }
  return done();
}

void pumpFor(int ms) {
  pumpUntil([] { return false; }, ms);
}

int xdotool(const std::string& arguments) { return std::system(("xdotool " + arguments).c_str()); }

::Window xWindowOf(HWND window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(win32SdlWindow(window), &info) || info.subsystem != SDL_SYSWM_X11) return 0;
  return info.info.x11.window;
}

class WindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under tests/support/with-xvfb";
    WNDCLASSA info{};
    info.style = CS_OWNDC;
    info.lpfnWndProc = recordingProc;
    info.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    info.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    info.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    info.lpszClassName = kClassName;
    ASSERT_NE(info.hIcon, nullptr);
    ASSERT_NE(info.hCursor, nullptr);
    ASSERT_NE(RegisterClassA(&info), 0);
    s_display = XOpenDisplay(nullptr);
    ASSERT_NE(s_display, nullptr);
    // A white desktop, so that what the window does not cover is told apart from it.
    const ::Window root = DefaultRootWindow(s_display);
    XSetWindowBackground(s_display, root, WhitePixel(s_display, DefaultScreen(s_display)));
    XClearWindow(s_display, root);
    XSync(s_display, False);
  }
  static void TearDownTestSuite() {
    UnregisterClassA(kClassName, nullptr);
    if (s_display) XCloseDisplay(s_display);
  }
  void SetUp() override {
    g_seen.clear();
    g_dragsLeft = 0;
    g_destroyOn = 0;
    g_destroyTarget = nullptr;
  }
  void TearDown() override {
    for (HWND w : m_windows)
      if (IsWindow(w)) DestroyWindow(w);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }

  HWND create(int x, int y, int w, int h, DWORD style = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX) {
    HWND window = CreateWindowExA(0, kClassName, "KQ DIVU RAZOV VUZE", style, x, y, w, h, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (window) m_windows.push_back(window);
    return window;
  }
  // The main window as the program makes it: centred, shown, painted and focused.
  HWND createShown() {
    const int x = (GetSystemMetrics(SM_CXSCREEN) - 512) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - 512) / 2;
    HWND window = create(x, y, 512, 512);
    if (!window) return nullptr;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetFocus(window);
    XSync(s_display, False);
    pumpFor(100);
    return window;
  }
  static unsigned long pixelAt(int x, int y) {
    XImage* image = XGetImage(s_display, DefaultRootWindow(s_display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0xDEADBEEF;
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
  }

  static Display* s_display;
  std::vector<HWND> m_windows;
};
Display* WindowTest::s_display = nullptr;

TEST_F(WindowTest, ClassAndWindowLifecycle) {
  WNDCLASSA info{};
  info.lpfnWndProc = recordingProc;
  info.lpszClassName = "KQ Lifecycle";
  ASSERT_NE(RegisterClassA(&info), 0);
  info.lpszClassName = "kq lifecycle";
  EXPECT_EQ(RegisterClassA(&info), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
  EXPECT_FALSE(UnregisterClassA("KQ Never Registered", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));

  HWND window = CreateWindowExA(0, "KQ Lifecycle", "", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  ASSERT_GE(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].message, static_cast<UINT>(WM_NCCREATE));
  EXPECT_EQ(g_seen[1].message, static_cast<UINT>(WM_CREATE));
  EXPECT_NE(win32SdlWindow(window), nullptr);
  EXPECT_TRUE(IsWindow(window));

  EXPECT_FALSE(UnregisterClassA("KQ Lifecycle", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));

  g_seen.clear();
  EXPECT_TRUE(DestroyWindow(window));
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].message, static_cast<UINT>(WM_DESTROY));
  EXPECT_EQ(g_seen[1].message, static_cast<UINT>(WM_NCDESTROY));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(win32SdlWindow(window), nullptr);
  SetLastError(0);
  EXPECT_FALSE(DestroyWindow(window));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_FALSE(DestroyWindow(nullptr));
  EXPECT_EQ(SendMessageA(window, kAnswerMessage, 0, 0), 0);
  EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));

  EXPECT_TRUE(UnregisterClassA("KQ LIFECYCLE", nullptr));
  EXPECT_FALSE(UnregisterClassA("KQ Lifecycle", nullptr));
  EXPECT_EQ(CreateWindowExA(0, "KQ Lifecycle", "", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

// Whatever a call was doing to a window stops once the window's procedure destroys it:
// the dead window gets no further message and its SDL window is not touched again.
TEST_F(WindowTest, ProcedureDestroyingItsWindowEndsTheCall) {
  auto nothingAfterDestruction = [](HWND window) {
    bool destroyed = false;
    for (const Seen& s : g_seen) {
      if (s.hwnd != window) continue;
      if (destroyed) return false;
      destroyed = s.message == WM_NCDESTROY;
    }
    return destroyed;
  };

  for (UINT creating : {WM_NCCREATE, WM_CREATE}) {
    g_seen.clear();
    g_destroyOn = creating;
    EXPECT_EQ(create(0, 0, 64, 64), nullptr) << creating;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    ASSERT_FALSE(g_seen.empty());
    EXPECT_TRUE(nothingAfterDestruction(g_seen.front().hwnd)) << creating;
  }

  HWND moved = create(0, 0, 64, 64);
  ASSERT_NE(moved, nullptr);
  g_seen.clear();
  g_destroyOn = WM_MOVE;
  EXPECT_FALSE(SetWindowPos(moved, nullptr, 20, 30, 100, 80, SWP_NOZORDER));
  EXPECT_FALSE(IsWindow(moved));
  EXPECT_TRUE(nothingAfterDestruction(moved));

  HWND minimised = create(0, 0, 64, 64);
  ASSERT_NE(minimised, nullptr);
  g_seen.clear();
  g_destroyOn = WM_SHOWWINDOW;
  EXPECT_FALSE(ShowWindow(minimised, SW_MINIMIZE));
  EXPECT_FALSE(IsWindow(minimised));
  EXPECT_TRUE(nothingAfterDestruction(minimised));

  // The window losing the focus destroys the one about to get it.
  HWND first = create(0, 0, 64, 64);
  HWND second = create(100, 0, 64, 64);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  SetFocus(first);
  g_seen.clear();
  g_destroyOn = WM_KILLFOCUS;
  g_destroyTarget = second;
  SetFocus(second);
  EXPECT_TRUE(IsWindow(first));
  EXPECT_FALSE(IsWindow(second));
  EXPECT_TRUE(nothingAfterDestruction(second));
  EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(WindowTest, PeekMessageTakesAtMostOne) {
  HWND window = create(0, 0, 64, 64);  // hidden: nothing to paint, no input
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PostMessageA(window, WM_USER + 1, 11, 0));
  ASSERT_TRUE(PostMessageA(window, WM_USER + 2, 22, 0));
  ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 3, 33, 0));

  MSG msg{};
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
  EXPECT_EQ(msg.hwnd, window);
  EXPECT_TRUE(g_seen.size() == 2u);  // nothing was dispatched by peeking

  // A window filter passes over thread messages, -1 takes only them, a range picks.
  ASSERT_TRUE(PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 3));
  EXPECT_EQ(msg.hwnd, nullptr);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 3, WM_USER + 3, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 33u);
  EXPECT_FALSE(PeekMessageA(&msg, window, WM_USER + 3, WM_USER + 3, PM_REMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
  EXPECT_EQ(DispatchMessageA(&msg), 0);
  EXPECT_EQ(g_seen.back().message, static_cast<UINT>(WM_USER + 2));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, SendMessageRunsTheProcedureAtOnce) {
  HWND window = create(0, 0, 64, 64);
  ASSERT_NE(window, nullptr);
  g_seen.clear();
  EXPECT_EQ(SendMessageA(window, kAnswerMessage, 5, 6), 1234);
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].wParam, 5u);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(WindowTest, QuitComesAfterPostedMessages) {
  HWND window = create(0, 0, 64, 64);
  ASSERT_NE(window, nullptr);
  PostQuitMessage(7);
  PostMessageA(window, WM_USER, 0, 0);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, window, WM_QUIT, WM_QUIT, PM_NOREMOVE));  // belongs to no window
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, ShapedWindowOnScreen) {
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
  HWND window = create(256, 128, 512, 512);
  ASSERT_NE(window, nullptr);
  // An L: the full top half, the left half of the bottom half, with a hole in the top band.
  HRGN region = makeRegion(RegionBytes::of({{0, 0, 100, 256}, {140, 0, 512, 256}, {0, 256, 256, 512}}).bytes());
  ASSERT_NE(region, nullptr);
  EXPECT_NE(SetWindowRgn(window, region, FALSE), 0);
  EXPECT_FALSE(DeleteObject(region));  // the window owns it now

  g_seen.clear();
  EXPECT_FALSE(ShowWindow(window, SW_SHOW));
  EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE);
  EXPECT_TRUE(UpdateWindow(window));
  EXPECT_TRUE(seen(WM_PAINT)) << "UpdateWindow paints at once";
  XSync(s_display, False);
  pumpFor(200);

  RECT rect{};
  ASSERT_TRUE(GetWindowRect(window, &rect));
  EXPECT_EQ(rect.left, 256);
  EXPECT_EQ(rect.top, 128);
  EXPECT_EQ(rect.right, 768);
  EXPECT_EQ(rect.bottom, 640);
  ASSERT_TRUE(GetClientRect(window, &rect));
  EXPECT_EQ(rect.right, 512);
  EXPECT_EQ(rect.bottom, 512);

  for (int kind : {ShapeBounding, ShapeInput}) {
    int count = 0, ordering = 0;
    XRectangle* rects = XShapeGetRectangles(s_display, xWindowOf(window), kind, &count, &ordering);
    long area = 0;
    for (int i = 0; i < count; ++i) area += long{rects[i].width} * rects[i].height;
    if (rects) XFree(rects);
    EXPECT_EQ(area, 100L * 256 + 372L * 256 + 256L * 256) << kind;
  }
  // Black where the window is (its class background; nothing was rendered), the desktop
  // where the outline leaves it out.
  EXPECT_EQ(pixelAt(256 + 10, 128 + 10), 0u);
  EXPECT_EQ(pixelAt(256 + 120, 128 + 10), 0xFFFFFFu);  // the hole
  EXPECT_EQ(pixelAt(256 + 400, 128 + 400), 0xFFFFFFu);
  EXPECT_EQ(pixelAt(256 + 100, 128 + 400), 0u);

  // Clicks outside the outline go to whatever lies beneath; inside they arrive in client
  // coordinates.
  g_seen.clear();
  xdotool("mousemove 656 528 click 1");
  pumpFor(300);
  EXPECT_FALSE(seen(WM_LBUTTONDOWN));
  xdotool("mousemove 266 148 click 1");
  ASSERT_TRUE(pumpUntil([] { return seen(WM_LBUTTONUP).has_value(); }));
  const auto click = seen(WM_LBUTTONDOWN);
  ASSERT_TRUE(click);
  EXPECT_EQ(click->hwnd, window);
  EXPECT_EQ(click->lParam, MAKELPARAM(10, 20));
  EXPECT_EQ(click->wParam & MK_LBUTTON, static_cast<WPARAM>(MK_LBUTTON));
}

TEST_F(WindowTest, KeysArriveAsTheSystemSendsThem) {
  HWND window = createShown();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetFocus(), window);
  EXPECT_TRUE(seen(WM_SETFOCUS));

  g_seen.clear();
  xdotool("key shift");
  ASSERT_TRUE(pumpUntil([] { return seen(WM_KEYUP, VK_SHIFT).has_value(); }));
  EXPECT_EQ(seen(WM_KEYDOWN, VK_SHIFT)->hwnd, window);

  xdotool("key Left");
  ASSERT_TRUE(pumpUntil([] { return seen(WM_KEYUP, VK_LEFT).has_value(); }));
  EXPECT_EQ(seen(WM_KEYDOWN, VK_LEFT)->lParam, 0x014B0001);

  xdotool("key a");
  ASSERT_TRUE(pumpUntil([] { return seen(WM_CHAR, 'a').has_value(); }));
  EXPECT_EQ(seen(WM_KEYDOWN, 'A')->lParam, 0x001E0001);

  g_seen.clear();
  xdotool("key F10");
  ASSERT_TRUE(pumpUntil([] { return seen(WM_SYSKEYUP, VK_F10).has_value(); }));
  EXPECT_TRUE(seen(WM_SYSKEYDOWN, VK_F10));
  EXPECT_FALSE(seen(WM_KEYDOWN));

  // Alt+F4: system keys with the context bit, turned into WM_CLOSE by the default handling.
  g_seen.clear();
  xdotool("key alt+F4");
  ASSERT_TRUE(pumpUntil([] { return seen(WM_SYSKEYUP, VK_MENU).has_value(); }));
  const auto alt = seen(WM_SYSKEYDOWN, VK_MENU);
  const auto f4 = seen(WM_SYSKEYDOWN, VK_F4);
  ASSERT_TRUE(alt && f4);
  EXPECT_EQ(alt->lParam & (1 << 29), 1 << 29);
  EXPECT_EQ(f4->lParam & (1 << 29), 1 << 29);
  EXPECT_FALSE(seen(WM_KEYDOWN));
  const size_t close = indexOf(WM_CLOSE, 0);
  ASSERT_NE(close, SIZE_MAX);
  EXPECT_GT(close, indexOf(WM_SYSKEYDOWN, VK_F4));
  EXPECT_TRUE(IsWindow(window));  // the procedure kept it
}

TEST_F(WindowTest, CloseRequestFromTheDisplayBecomesWmClose) {
  HWND window = createShown();
  ASSERT_NE(window, nullptr);
  const ::Window target = xWindowOf(window);
  sendCloseRequest(s_display, target);
  g_seen.clear();
  ASSERT_TRUE(pumpUntil([] { return seen(WM_CLOSE).has_value(); }));
  EXPECT_EQ(seen(WM_CLOSE)->hwnd, window);
  // Unhandled, WM_CLOSE destroys the window.
  DefWindowProcA(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(seen(WM_DESTROY));
}

TEST_F(WindowTest, CaptionDragFollowsTheMouse) {
  HWND window = createShown();
  ASSERT_NE(window, nullptr);
  g_dragsLeft = 2;

  // A drag that ended before the program looked at its queue still moves the window by
  // the distance from press to release.
  xdotool("mousemove 300 200 mousedown 1 mousemove 320 230 mousemove 340 250 mouseup 1");
  ASSERT_TRUE(pumpUntil([] { return seen(WM_NCLBUTTONDOWN).has_value(); }));
  RECT rect{};
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 256 + 40);
  EXPECT_EQ(rect.top, 128 + 50);

  // A live drag: the loop runs while the button is held.
  g_seen.clear();
  std::thread user([] {
    xdotool(
        "mousemove 400 300 mousedown 1 sleep 0.3 mousemove 430 330 sleep 0.1 mousemove 460 350 "
        "sleep 0.3 mouseup 1");
  });
  const bool dragged = pumpUntil([] { return seen(WM_NCLBUTTONDOWN).has_value(); }, 15000);
  user.join();
  ASSERT_TRUE(dragged);
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 256 + 40 + 60);
  EXPECT_EQ(rect.top, 128 + 50 + 50);
  pumpFor(200);
  EXPECT_FALSE(seen(WM_LBUTTONUP)) << "the move loop consumes the release";

  // A click after the drag ended, queued together with it, still reaches the program.
  g_dragsLeft = 1;
  g_seen.clear();
  xdotool("mousemove 500 400 mousedown 1 mousemove 510 410 mouseup 1 click 1");
  ASSERT_TRUE(pumpUntil([] { return seen(WM_LBUTTONUP).has_value(); }));
  size_t clicks = 0;
  for (const Seen& s : g_seen) clicks += s.message == WM_LBUTTONDOWN;
  EXPECT_EQ(clicks, 2u);
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 256 + 40 + 60 + 10);
}

TEST_F(WindowTest, TopmostAndMinimise) {
  HWND window = createShown();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_TRUE(SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, WS_EX_TOPMOST);
  EXPECT_TRUE(SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  RECT rect{};
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 256);  // SWP_NOMOVE | SWP_NOSIZE kept the place
  EXPECT_EQ(rect.right - rect.left, 512);
  EXPECT_EQ(GetWindowLongA(window, 12345), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));

  auto mapState = [&] {
    XWindowAttributes attributes{};
    XGetWindowAttributes(s_display, xWindowOf(window), &attributes);
    return attributes.map_state;
  };
  EXPECT_EQ(mapState(), IsViewable);
  ShowWindow(window, SW_MINIMIZE);
  EXPECT_TRUE(IsIconic(window));
  EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_MINIMIZE);
  // Without a window manager the layer takes it off screen itself; with one, the manager
  // does so in its own time.
  EXPECT_TRUE(pumpUntil([&] { return mapState() != IsViewable; }));
  EXPECT_TRUE(IsIconic(window));
  ShowWindow(window, SW_RESTORE);
  EXPECT_TRUE(pumpUntil([&] { return mapState() == IsViewable; }));
  pumpFor(100);
  EXPECT_FALSE(IsIconic(window));
  EXPECT_FALSE(GetWindowLongA(window, GWL_STYLE) & WS_MINIMIZE);
}

TEST_F(WindowTest, MessageBoxIsAnsweredByReturn) {
  std::atomic<bool> answered{false};
  std::thread user([&] {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!answered && std::chrono::steady_clock::now() < end) {
      // SDL types the box's WM_NAME "UTF-8", which xdotool's name search does not read;
      // xwininfo lists it by title.
      std::system(
          "w=$(xwininfo -root -tree | awk '/\"KQ Test Box\"/ {print $1; exit}'); "
          "[ -n \"$w\" ] && xdotool windowfocus --sync $w key Return >/dev/null 2>&1");
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  });
  testing::internal::CaptureStderr();
  const int result = MessageBoxA(nullptr, "Destroy Window Failed", "KQ Test Box", MB_ICONERROR | MB_TOPMOST);
  answered = true;
  const std::string written = testing::internal::GetCapturedStderr();
  user.join();
  EXPECT_EQ(result, IDOK);
  EXPECT_NE(written.find("Destroy Window Failed\n"), std::string::npos);
}

// ---- tooltips ---------------------------------------------------------------------------

bool isShown(HWND window) { return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0; }

bool isMapped(Display* display, HWND window) {
  XWindowAttributes attributes{};
  return XGetWindowAttributes(display, xWindowOf(window), &attributes) && attributes.map_state == IsViewable;
}

// The clock stands still unless a test steps it, so the hover delay is exact.
class TooltipTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    win32ClockFreeze(true);
  }
  void TearDown() override {
    win32ClockFreeze(false);
    WindowTest::TearDown();
  }
  // A tooltip control with one subclassing tool, made as the program makes its eight.
  HWND createTooltip(HWND owner, const RECT& rect, const char* text) {
    INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    if (!InitCommonControlsEx(&init)) return nullptr;
    HWND tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    if (!tip) return nullptr;
    m_windows.push_back(tip);
    SetWindowPos(tip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = owner;
    tool.rect = rect;
    tool.hinst = GetModuleHandleA(nullptr);
    tool.lpszText = const_cast<LPSTR>(text);
    return SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)) ? tip : nullptr;
  }
  // Moves the pointer to a point of the screen and waits until the window has heard of it.
  void pointTo(int x, int y) {
    g_seen.clear();
    xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y));
    pumpUntil([] { return seen(WM_MOUSEMOVE).has_value(); }, 3000);
    pumpFor(50);
  }
  void step(DWORD ms) {
    win32ClockStep(ms);
    pumpFor(50);
  }
};

TEST_F(TooltipTest, ToolInfoAndInitialisationChecks) {
  HWND owner = createShown();
  ASSERT_NE(owner, nullptr);
  INITCOMMONCONTROLSEX init{7, ICC_WIN95_CLASSES};
  EXPECT_FALSE(InitCommonControlsEx(&init));
  init.dwSize = sizeof init;
  EXPECT_TRUE(InitCommonControlsEx(&init));
  EXPECT_TRUE(InitCommonControlsEx(&init));  // again, as the program does for every button
  // Without TTS_NOPREFIX a control is not made here.
  EXPECT_EQ(CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, nullptr, nullptr),
            nullptr);
  HWND tip = createTooltip(owner, RECT{10, 10, 50, 50}, " first");
  ASSERT_NE(tip, nullptr);
  TOOLINFOA tool{};
  tool.cbSize = 44;  // the size on 32-bit systems is not this build's
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = owner;
  tool.uId = 1;
  tool.lpszText = const_cast<LPSTR>(" second");
  const auto add = [&] { return SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)); };
  EXPECT_FALSE(add());
  tool.cbSize = sizeof tool;
  tool.uFlags = 0;  // a tool the program would have to relay messages to
  EXPECT_FALSE(add());
  tool.uFlags = TTF_SUBCLASS;
  tool.lpszText = LPSTR_TEXTCALLBACKA;
  EXPECT_FALSE(add());
  tool.lpszText = const_cast<LPSTR>(" second");
  tool.uId = 0;  // the first tool's id
  EXPECT_FALSE(add());
  tool.uId = 1;
  EXPECT_TRUE(add());
  EXPECT_FALSE(isShown(tip));
  // The control goes with its owner.
  DestroyWindow(owner);
  EXPECT_FALSE(IsWindow(tip));
}

TEST_F(TooltipTest, ShowsAfterTheDelayBesideThePointerWithoutTakingTheFocus) {
  HWND owner = createShown();  // at (256, 128)
  ASSERT_NE(owner, nullptr);
  HWND tip = createTooltip(owner, RECT{113, 355, 137, 385}, " previous");
  ASSERT_NE(tip, nullptr);
  const int pointerX = 256 + 120, pointerY = 128 + 370;
  pointTo(pointerX, pointerY);
  step(499);
  EXPECT_FALSE(isShown(tip));
  // Moving inside the tool restarts the wait: the pointer has to rest.
  pointTo(pointerX + 1, pointerY);
  step(499);
  EXPECT_FALSE(isShown(tip));
  step(1);
  ASSERT_TRUE(pumpUntil([&] { return isShown(tip); }, 2000));
  EXPECT_TRUE(isMapped(s_display, tip));
  RECT rect{};
  GetWindowRect(tip, &rect);
  EXPECT_GT(rect.left, pointerX);
  EXPECT_GT(rect.top, pointerY + 10);  // below the arrow, so it can never catch the click
  EXPECT_LT(rect.left, pointerX + 20);
  EXPECT_GE(rect.bottom - rect.top, 16);  // a 12-pixel face with its padding and border
  EXPECT_LE(rect.bottom - rect.top, 26);
  EXPECT_GE(rect.right - rect.left, 50);
  EXPECT_LE(rect.right - rect.left, 90);
  // The popup as the screen shows it: a grey border around a pale ground with dark text.
  pumpFor(100);
  EXPECT_EQ(pixelAt(rect.left, rect.top), 0x767676u);
  EXPECT_EQ(pixelAt(rect.right - 1, rect.bottom - 1), 0x767676u);
  EXPECT_EQ(pixelAt(rect.left + 2, rect.top + 2), 0xFFFFE1u);
  int dark = 0;
  for (int y = rect.top + 1; y < rect.bottom - 1; ++y)
    for (int x = rect.left + 1; x < rect.right - 1; ++x) dark += (pixelAt(x, y) & 0xFF) < 0x60;
  EXPECT_GT(dark, 40);
  // The keyboard stays with the owner.
  EXPECT_EQ(GetFocus(), owner);
  ::Window focus = 0;
  int revert = 0;
  XGetInputFocus(s_display, &focus, &revert);
  EXPECT_EQ(focus, xWindowOf(owner));
  g_seen.clear();
  xdotool("key x");
  ASSERT_TRUE(pumpUntil([] { return seen(WM_KEYDOWN, 'X').has_value(); }));
  EXPECT_EQ(seen(WM_KEYDOWN, 'X')->hwnd, owner);
  EXPECT_TRUE(isShown(tip));
}

TEST_F(TooltipTest, HidesWhenThePointerLeavesOnAClickAndWithItsOwner) {
  HWND owner = createShown();
  ASSERT_NE(owner, nullptr);
  HWND tip = createTooltip(owner, RECT{113, 355, 137, 385}, " previous");
  ASSERT_NE(tip, nullptr);
  const auto showAt = [&](int x, int y) {
    pointTo(256 + x, 128 + y);
    step(500);
    return pumpUntil([&] { return isShown(tip); }, 2000);
  };
  // The right and bottom edges of the rectangle are outside the tool.
  pointTo(256 + 137, 128 + 370);
  step(600);
  EXPECT_FALSE(isShown(tip));
  ASSERT_TRUE(showAt(136, 384));

  // Leaving: the next check finds the pointer outside, even where no message told of it.
  EXPECT_TRUE(isMapped(s_display, tip));
  pointTo(256 + 300, 128 + 100);
  step(100);
  EXPECT_FALSE(isShown(tip));
  EXPECT_FALSE(isMapped(s_display, tip));
  xdotool("mousemove 5 5");  // off the window altogether
  ASSERT_TRUE(showAt(120, 370));
  xdotool("mousemove 5 5");
  pumpFor(100);
  step(100);
  EXPECT_FALSE(isShown(tip));

  // A click hides it, and it stays hidden until the pointer has left the tool.
  ASSERT_TRUE(showAt(120, 370));
  g_seen.clear();
  xdotool("click 1");
  ASSERT_TRUE(pumpUntil([] { return seen(WM_LBUTTONUP).has_value(); }));
  EXPECT_FALSE(isShown(tip));
  step(1000);
  EXPECT_FALSE(isShown(tip));
  pointTo(256 + 300, 128 + 100);
  step(100);
  ASSERT_TRUE(showAt(121, 371));

  // Minimising the owner hides it.
  ShowWindow(owner, SW_MINIMIZE);
  step(100);
  EXPECT_FALSE(isShown(tip));
  ShowWindow(owner, SW_RESTORE);
  pumpFor(100);
  ASSERT_TRUE(showAt(122, 372));
  ShowWindow(owner, SW_HIDE);
  step(100);
  EXPECT_FALSE(isShown(tip));
}

}  // namespace
