// MessageBoxA's MB_TOPMOST on a private X server (tests/support/with-xvfb), first without a
// window manager and then under openbox: the box's window carries _NET_WM_STATE_ABOVE when
// the caller asks for it, and only then.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <windows.h>

#include "x_close_request.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

extern char** environ;

namespace {

Display* g_display = nullptr;

bool waitFor(const std::function<bool()>& done, int timeoutMs = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// The items of a property, or an empty string where it is not set.
std::string property(::Window window, const char* name, Atom type = AnyPropertyType) {
  Atom actual = None;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  std::string value;
  if (XGetWindowProperty(g_display, window, XInternAtom(g_display, name, False), 0, 1024, False, type, &actual, &format,
                         &count, &remaining, &data) == Success &&
      data) {
    const size_t itemSize = format == 32 ? sizeof(long) : format / 8;
    value.assign(reinterpret_cast<char*>(data), count * itemSize);
  }
  if (data) XFree(data);
  return value;
}

bool hasAboveState(::Window window) {
  const std::string state = property(window, "_NET_WM_STATE", XA_ATOM);
  const Atom above = XInternAtom(g_display, "_NET_WM_STATE_ABOVE", False);
  for (size_t at = 0; at + sizeof(long) <= state.size(); at += sizeof(long)) {
    unsigned long atom;
    std::copy_n(state.data() + at, sizeof atom, reinterpret_cast<char*>(&atom));
    if (atom == above) return true;
  }
  return false;
}

// The viewable window titled `title` anywhere in the tree (a window manager puts it in a frame).
::Window findBox(::Window under, const std::string& title) {
  ::Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(g_display, under, &root, &parent, &children, &count)) return 0;
  ::Window found = 0;
  for (unsigned int i = 0; i < count && !found; ++i) {
    XWindowAttributes attributes{};
    if (property(children[i], "_NET_WM_NAME") == title && XGetWindowAttributes(g_display, children[i], &attributes) &&
        attributes.map_state == IsViewable)
      found = children[i];
    else
      found = findBox(children[i], title);
  }
  if (children) XFree(children);
  return found;
}

// Windows come and go while the tree is walked; asking about a gone one is no fault here.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

bool windowManagerRuns() {
  return !property(DefaultRootWindow(g_display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).empty();
}

// Shows a box on this thread, as the program does, while another thread finds its window,
// hands it to `check` and closes it the way a window manager's close button would. Returns
// the box's answer.
int showBox(const std::string& title, UINT flags, const std::function<void(::Window)>& check) {
  std::thread user([&] {
    ::Window box = 0;
    const bool appeared = waitFor([&] { return (box = findBox(DefaultRootWindow(g_display), title)) != 0; });
    EXPECT_TRUE(appeared) << "no box titled " << title;
    if (!appeared) return;  // nothing to close: the test ends on its time limit
    check(box);
    sendCloseRequest(g_display, box);
  });
  const int answer = MessageBoxA(nullptr, "Box text", title.c_str(), flags);
  user.join();
  return answer;
}

class MessageBoxStacking : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under tests/support/with-xvfb";
    g_display = XOpenDisplay(nullptr);
    ASSERT_NE(g_display, nullptr);
    XSetErrorHandler(ignoreXError);
  }
  static void TearDownTestSuite() {
    if (g_display) XCloseDisplay(g_display);
    g_display = nullptr;
  }
};

TEST_F(MessageBoxStacking, TopmostWithoutWindowManager) {
  ASSERT_FALSE(windowManagerRuns());
  EXPECT_EQ(showBox("KQ Bare Topmost Box", MB_ICONERROR | MB_TOPMOST,
                    [](::Window box) { EXPECT_TRUE(waitFor([&] { return hasAboveState(box); })); }),
            IDOK);
}

class UnderOpenbox : public MessageBoxStacking {
 protected:
  static void SetUpTestSuite() {
    MessageBoxStacking::SetUpTestSuite();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char name[] = "openbox", option[] = "--sm-disable";
    char* argv[] = {name, option, nullptr};
    const int spawned = posix_spawnp(&s_openbox, "openbox", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_EQ(spawned, 0) << "openbox is not installed";
    ASSERT_TRUE(waitFor(windowManagerRuns)) << "openbox did not start";
    // openbox announces itself before it takes on windows, and a window mapped in between
    // stays unmapped for good; a probe window that it frames shows that it is ready.
    EXPECT_TRUE(waitFor([] {
      const ::Window probe = XCreateSimpleWindow(g_display, DefaultRootWindow(g_display), 0, 0, 10, 10, 0, 0, 0);
      XMapWindow(g_display, probe);
      XSync(g_display, False);
      const bool framed = waitFor([&] { return !property(probe, "_NET_FRAME_EXTENTS").empty(); }, 300);
      XDestroyWindow(g_display, probe);
      return framed;
    })) << "openbox manages nothing";
    XSync(g_display, False);
  }
  static void TearDownTestSuite() {
    if (s_openbox > 0) {
      kill(s_openbox, SIGTERM);
      waitpid(s_openbox, nullptr, 0);
    }
    MessageBoxStacking::TearDownTestSuite();
  }
  static pid_t s_openbox;
};
pid_t UnderOpenbox::s_openbox = 0;

TEST_F(UnderOpenbox, TopmostBoxIsAboveAndAPlainOneIsNot) {
  // openbox rewrites the state as it sees it, so ABOVE there is its own word.
  EXPECT_EQ(showBox("KQ Topmost Box", MB_ICONERROR | MB_TOPMOST,
                    [](::Window box) { EXPECT_TRUE(waitFor([&] { return hasAboveState(box); })); }),
            IDOK);
  EXPECT_EQ(showBox("KQ Plain Box", MB_OK,
                    [](::Window box) {
                      ASSERT_TRUE(waitFor([&] { return !property(box, "_NET_FRAME_EXTENTS").empty(); }))
                          << "not managed";
                      std::this_thread::sleep_for(std::chrono::milliseconds(300));
                      EXPECT_FALSE(hasAboveState(box));
                    }),
            IDOK);
}

}  // namespace
