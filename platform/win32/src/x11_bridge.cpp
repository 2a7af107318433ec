#include "x11_bridge.h"

#include <SDL.h>
#include <SDL_syswm.h>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#endif

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <string_view>
#include <thread>

namespace win32 {

#if defined(SDL_VIDEO_DRIVER_X11)
namespace {

struct XTarget {
  Display* display;
  ::Window window;
};

std::optional<XTarget> xTarget(SDL_Window* window) {
  if (!window) return std::nullopt;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return std::nullopt;
  return XTarget{info.info.x11.display, info.info.x11.window};
}

// Requests that may fail on the server (a focus change racing an unmap, say) must not end
// the process through the default error handler, so they run with errors trapped.
bool g_xErrorSeen = false;
int trapXError(Display*, XErrorEvent*) {
  g_xErrorSeen = true;
  return 0;
}
class XErrorTrap {
 public:
  explicit XErrorTrap(Display* display) : m_display(display) {
    XSync(m_display, False);
    g_xErrorSeen = false;
    m_previous = XSetErrorHandler(trapXError);
  }
  ~XErrorTrap() {
    XSync(m_display, False);
    XSetErrorHandler(m_previous);
  }
  bool failed() {
    XSync(m_display, False);
    return g_xErrorSeen;
  }
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;

 private:
  Display* m_display;
  int (*m_previous)(Display*, XErrorEvent*) = nullptr;
};

short clampCoord(int32_t v) { return static_cast<short>(std::clamp<int32_t>(v, -32768, 32767)); }

unsigned long scaleToMask(unsigned value8, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const unsigned long max = mask >> shift;
  return ((value8 * max + 127) / 255) << shift;
}

bool hasWindowManager(Display* display) {
  Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
  if (check == None) return false;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  bool found = false;
  if (XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type, &format, &count,
                         &remaining, &data) == Success) {
    found = type == XA_WINDOW && count == 1;
  }
  if (data) XFree(data);
  return found;
}

// Whether a text property of the window holds exactly `text`.
bool textPropertyIs(Display* display, ::Window window, Atom property, std::string_view text) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  bool same = false;
  if (XGetWindowProperty(display, window, property, 0, 1024, False, AnyPropertyType, &type, &format, &count, &remaining,
                         &data) == Success &&
      data) {
    same = format == 8 && remaining == 0 && std::string_view(reinterpret_cast<char*>(data), count) == text;
  }
  if (data) XFree(data);
  return same;
}

bool hasAtom(Display* display, ::Window window, Atom property, Atom value) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  bool found = false;
  if (XGetWindowProperty(display, window, property, 0, 64, False, XA_ATOM, &type, &format, &count, &remaining, &data) ==
          Success &&
      data && format == 32) {
    const auto* atoms = reinterpret_cast<const unsigned long*>(data);  // Xlib hands 32-bit items as longs
    found = std::find(atoms, atoms + count, value) != atoms + count;
  }
  if (data) XFree(data);
  return found;
}

// Watches the display's new top-level windows for the one titled `title` and keeps it above
// the others, until `stop`. Runs on its own thread with its own connection, since the
// thread that shows the window is blocked until it is gone.
class AboveKeeper {
 public:
  AboveKeeper(Display* display, std::string title)
      : m_display(display),
        m_root(DefaultRootWindow(display)),
        m_title(std::move(title)),
        m_netWmName(XInternAtom(display, "_NET_WM_NAME", False)),
        m_state(XInternAtom(display, "_NET_WM_STATE", False)),
        m_above(XInternAtom(display, "_NET_WM_STATE_ABOVE", False)) {
    XSelectInput(m_display, m_root, SubstructureNotifyMask);
    XSync(m_display, False);
  }

  void run(const std::atomic<bool>& stop) {
    while (!stop) {
      while (XPending(m_display)) {
        XEvent event;
        XNextEvent(m_display, &event);
        handle(event);
      }
      XFlush(m_display);
      pollfd connection{ConnectionNumber(m_display), POLLIN, 0};
      poll(&connection, 1, 50);
    }
  }

 private:
  void handle(const XEvent& event) {
    if (event.type == CreateNotify && !m_box && event.xcreatewindow.parent == m_root &&
        !event.xcreatewindow.override_redirect) {
      const ::Window window = event.xcreatewindow.window;
      XSelectInput(m_display, window, PropertyChangeMask | StructureNotifyMask);
      // The title may have been set before the selection took effect.
      if (titled(window)) found(window);
    } else if (event.type == PropertyNotify && !m_box &&
               (event.xproperty.atom == XA_WM_NAME || event.xproperty.atom == m_netWmName) &&
               titled(event.xproperty.window)) {
      found(event.xproperty.window);
    } else if (event.type == MapNotify && m_box && event.xmap.window == m_box) {
      askAbove();
    }
  }

  bool titled(::Window window) {
    return textPropertyIs(m_display, window, XA_WM_NAME, m_title) ||
           textPropertyIs(m_display, window, m_netWmName, m_title);
  }

  void found(::Window window) {
    m_box = window;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(m_display, window, &attributes)) return;
    // A window manager reads the initial state when it takes the window on; once mapped,
    // only a request to the manager changes it.
    if (attributes.map_state == IsUnmapped)
      addAboveState();
    else
      askAbove();
  }

  void addAboveState() {
    if (hasAtom(m_display, m_box, m_state, m_above)) return;
    XChangeProperty(m_display, m_box, m_state, XA_ATOM, 32, PropModeAppend,
                    reinterpret_cast<const unsigned char*>(&m_above), 1);
  }

  void askAbove() {
    if (m_asked) return;
    m_asked = true;
    if (!hasWindowManager(m_display)) {
      // Nothing manages the stacking: the window stays above by being raised now, and its
      // state says what it asked for.
      addAboveState();
      XRaiseWindow(m_display, m_box);
      return;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = m_box;
    event.xclient.message_type = m_state;
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1;  // _NET_WM_STATE_ADD
    event.xclient.data.l[1] = static_cast<long>(m_above);
    event.xclient.data.l[3] = 1;  // from an ordinary application
    XSendEvent(m_display, m_root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  }

  Display* m_display;
  ::Window m_root;
  std::string m_title;
  Atom m_netWmName, m_state, m_above;
  ::Window m_box = 0;
  bool m_asked = false;
};

}  // namespace

bool x11SetShape(SDL_Window* window, const std::vector<ShapeRect>* rects) {
  auto target = xTarget(window);
  if (!target) return false;
  int eventBase = 0, errorBase = 0;
  if (!XShapeQueryExtension(target->display, &eventBase, &errorBase)) return false;
  XErrorTrap trap(target->display);
  if (!rects) {
    XShapeCombineMask(target->display, target->window, ShapeBounding, 0, 0, None, ShapeSet);
    XShapeCombineMask(target->display, target->window, ShapeInput, 0, 0, None, ShapeSet);
    return !trap.failed();
  }
  std::vector<XRectangle> xrects;
  xrects.reserve(rects->size());
  for (const ShapeRect& r : *rects) {
    XRectangle x;
    x.x = clampCoord(r.left);
    x.y = clampCoord(r.top);
    x.width = static_cast<unsigned short>(std::clamp<int64_t>(int64_t{r.right} - x.x, 0, 65535));
    x.height = static_cast<unsigned short>(std::clamp<int64_t>(int64_t{r.bottom} - x.y, 0, 65535));
    if (x.width && x.height) xrects.push_back(x);
  }
  // An empty list is a valid, empty shape: nothing of the window shows or takes input.
  XShapeCombineRectangles(target->display, target->window, ShapeBounding, 0, 0, xrects.data(),
                          static_cast<int>(xrects.size()), ShapeSet, Unsorted);
  XShapeCombineRectangles(target->display, target->window, ShapeInput, 0, 0, xrects.data(),
                          static_cast<int>(xrects.size()), ShapeSet, Unsorted);
  return !trap.failed();
}

bool x11SetBackground(SDL_Window* window, uint32_t colorRef) {
  auto target = xTarget(window);
  if (!target) return false;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(target->display, target->window, &attributes)) return false;
  const Visual* visual = attributes.visual;
  const unsigned long pixel = scaleToMask(colorRef & 0xFF, visual->red_mask) |
                              scaleToMask((colorRef >> 8) & 0xFF, visual->green_mask) |
                              scaleToMask((colorRef >> 16) & 0xFF, visual->blue_mask);
  XSetWindowBackground(target->display, target->window, pixel);
  XClearWindow(target->display, target->window);
  XFlush(target->display);
  return true;
}

std::optional<PointerState> x11QueryPointer(SDL_Window* window) {
  auto target = xTarget(window);
  if (!target) return std::nullopt;
  ::Window root = 0, child = 0;
  int rootX = 0, rootY = 0, winX = 0, winY = 0;
  unsigned int mask = 0;
  if (!XQueryPointer(target->display, DefaultRootWindow(target->display), &root, &child, &rootX, &rootY, &winX, &winY,
                     &mask))
    return std::nullopt;
  return PointerState{rootX, rootY, (mask & Button1Mask) != 0};
}

bool x11HasWindowManager(SDL_Window* window) {
  auto target = xTarget(window);
  return target && hasWindowManager(target->display);
}

void x11Raise(SDL_Window* window) {
  auto target = xTarget(window);
  if (!target) return;
  XRaiseWindow(target->display, target->window);
  XFlush(target->display);
}

void x11Sync(SDL_Window* window) {
  if (auto target = xTarget(window)) XSync(target->display, False);
}

void x11MapRaised(SDL_Window* window) {
  auto target = xTarget(window);
  if (!target) return;
  XMapRaised(target->display, target->window);
  XSync(target->display, False);
}

void x11Unmap(SDL_Window* window) {
  auto target = xTarget(window);
  if (!target) return;
  XUnmapWindow(target->display, target->window);
  XSync(target->display, False);
}

bool x11Focus(SDL_Window* window) {
  auto target = xTarget(window);
  if (!target) return false;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(target->display, target->window, &attributes) || attributes.map_state != IsViewable)
    return false;
  XErrorTrap trap(target->display);
  XSetInputFocus(target->display, target->window, RevertToParent, CurrentTime);
  return !trap.failed();
}

std::optional<unsigned long> x11KeyPressKeysym(const SDL_SysWMmsg* message) {
  if (!message || message->subsystem != SDL_SYSWM_X11) return std::nullopt;
  XEvent event = message->msg.x11.event;
  if (event.type != KeyPress) return std::nullopt;
  return XLookupKeysym(&event.xkey, 0);
}

void x11ShowKeptAbove(const char* title, const std::function<void()>& show) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    show();
    return;
  }
  {
    // The box may be gone before a request about it arrives; that is no fault.
    XErrorTrap trap(display);
    AboveKeeper keeper(display, title ? title : "");
    std::atomic<bool> stop{false};
    std::thread watcher([&] { keeper.run(stop); });
    show();
    stop = true;
    watcher.join();
  }
  XCloseDisplay(display);
}

namespace {
void (*g_connectionLost)() = nullptr;
int onIoError(Display*) {
  g_connectionLost();
  return 0;  // not reached: the handler ends the process
}
}  // namespace

void x11OnConnectionLost(void (*handler)()) {
  g_connectionLost = handler;
  XSetIOErrorHandler(onIoError);
}

#else

bool x11SetShape(SDL_Window*, const std::vector<ShapeRect>*) { return false; }
bool x11SetBackground(SDL_Window*, uint32_t) { return false; }
std::optional<PointerState> x11QueryPointer(SDL_Window*) { return std::nullopt; }
bool x11HasWindowManager(SDL_Window*) { return false; }
void x11Raise(SDL_Window*) {}
void x11Sync(SDL_Window*) {}
void x11MapRaised(SDL_Window*) {}
void x11Unmap(SDL_Window*) {}
bool x11Focus(SDL_Window*) { return false; }
std::optional<unsigned long> x11KeyPressKeysym(const SDL_SysWMmsg*) { return std::nullopt; }
void x11ShowKeptAbove(const char*, const std::function<void()>& show) { show(); }
void x11OnConnectionLost(void (*)()) {}

#endif

}  // namespace win32
