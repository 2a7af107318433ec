#include "x_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <thread>

#include "x_close_request.h"

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(50);

std::string textProperty(Display* display, Window window, Atom property, Atom type) {
  Atom actualType;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::string text;
  if (XGetWindowProperty(display, window, property, 0, 1024, False, type, &actualType, &format, &count, &after,
                         &data) == Success &&
      data) {
    if (actualType == type && format == 8) text.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  return text;
}

pid_t pidProperty(Display* display, Window window) {
  Atom actualType;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  pid_t pid = 0;
  const Atom property = XInternAtom(display, "_NET_WM_PID", False);
  if (XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &actualType, &format, &count, &after,
                         &data) == Success &&
      data) {
    if (actualType == XA_CARDINAL && format == 32 && count == 1)
      pid = static_cast<pid_t>(*reinterpret_cast<long*>(data));
    XFree(data);
  }
  return pid;
}

// A TrueColor channel (of any depth) scaled to 0..255.
uint32_t channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const unsigned long max = mask >> shift;
  return static_cast<uint32_t>((((pixel & mask) >> shift) * 255 + max / 2) / max);
}

}  // namespace

bool Screenshot::writePpm(const std::string& path) const {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  std::fprintf(file, "P6\n%d %d\n255\n", width, height);
  for (const uint32_t p : pixels) {
    const unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                                  static_cast<unsigned char>(p)};
    std::fwrite(rgb, 1, 3, file);
  }
  return std::fclose(file) == 0;
}

std::optional<Screenshot> Screenshot::readPpm(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return std::nullopt;
  Screenshot image;
  int maxValue = 0;
  std::optional<Screenshot> result;
  if (std::fscanf(file, "P6 %d %d %d", &image.width, &image.height, &maxValue) == 3 && maxValue == 255 &&
      image.width > 0 && image.height > 0 && image.width <= 16384 && image.height <= 16384 &&
      std::fgetc(file) == '\n') {
    std::vector<unsigned char> rgb(static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3);
    if (std::fread(rgb.data(), 1, rgb.size(), file) == rgb.size()) {
      for (size_t i = 0; i < rgb.size(); i += 3)
        image.pixels.push_back(uint32_t{rgb[i]} << 16 | uint32_t{rgb[i + 1]} << 8 | rgb[i + 2]);
      result = std::move(image);
    }
  }
  std::fclose(file);
  return result;
}

XSession::XSession(const char* displayName) : m_display(XOpenDisplay(displayName)) {}

XSession::~XSession() {
  if (m_display) XCloseDisplay(m_display);
}

int XSession::screenWidth() const { return DisplayWidth(m_display, DefaultScreen(m_display)); }
int XSession::screenHeight() const { return DisplayHeight(m_display, DefaultScreen(m_display)); }

void XSession::setRootColour(uint32_t rgb) {
  const Window root = DefaultRootWindow(m_display);
  XColor colour{};
  colour.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 257);
  colour.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 257);
  colour.blue = static_cast<unsigned short>((rgb & 0xFF) * 257);
  XAllocColor(m_display, DefaultColormap(m_display, DefaultScreen(m_display)), &colour);
  XSetWindowBackground(m_display, root, colour.pixel);
  XClearWindow(m_display, root);
  XSync(m_display, False);
}

namespace {

// Errors from windows that vanish while they are looked at (tooltips, message boxes) are
// expected here.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

// Ignores X errors for its lifetime; the requests made meanwhile are synced before the
// previous handler returns.
class IgnoredXErrors {
 public:
  explicit IgnoredXErrors(Display* display) : m_display(display), m_previous(XSetErrorHandler(ignoreXError)) {}
  IgnoredXErrors(const IgnoredXErrors&) = delete;
  IgnoredXErrors& operator=(const IgnoredXErrors&) = delete;
  ~IgnoredXErrors() {
    XSync(m_display, False);
    XSetErrorHandler(m_previous);
  }

 private:
  Display* m_display;
  XErrorHandler m_previous;
};

}  // namespace

std::vector<TopLevelWindow> XSession::topLevelWindows() {
  std::vector<TopLevelWindow> found;
  const IgnoredXErrors ignored(m_display);
  Window rootReturn, parent;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(m_display, DefaultRootWindow(m_display), &rootReturn, &parent, &children, &count)) return found;
  const Atom netName = XInternAtom(m_display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(m_display, "UTF8_STRING", False);
  for (unsigned int i = 0; i < count; ++i) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(m_display, children[i], &attributes) || attributes.map_state != IsViewable) continue;
    TopLevelWindow w;
    w.id = children[i];
    w.name = textProperty(m_display, children[i], netName, utf8);
    if (w.name.empty()) w.name = textProperty(m_display, children[i], XA_WM_NAME, XA_STRING);
    w.pid = pidProperty(m_display, children[i]);
    w.x = attributes.x;
    w.y = attributes.y;
    w.width = attributes.width;
    w.height = attributes.height;
    found.push_back(std::move(w));
  }
  if (children) XFree(children);
  return found;
}

std::optional<TopLevelWindow> XSession::waitForWindow(const std::function<bool(const TopLevelWindow&)>& match,
                                                      std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    for (const auto& w : topLevelWindows())
      if (match(w)) return w;
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(kPollInterval);
  }
}

std::optional<TopLevelWindow> XSession::window(unsigned long id) {
  for (const auto& w : topLevelWindows())
    if (w.id == id) return w;
  return std::nullopt;
}

Screenshot XSession::screenshot() {
  Screenshot shot;
  shot.width = screenWidth();
  shot.height = screenHeight();
  XImage* image = XGetImage(m_display, DefaultRootWindow(m_display), 0, 0, static_cast<unsigned>(shot.width),
                            static_cast<unsigned>(shot.height), AllPlanes, ZPixmap);
  if (!image) return Screenshot{};
  shot.pixels.resize(static_cast<size_t>(shot.width) * static_cast<size_t>(shot.height));
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      const uint32_t r = channel(p, image->red_mask);
      const uint32_t g = channel(p, image->green_mask);
      const uint32_t b = channel(p, image->blue_mask);
      shot.pixels[static_cast<size_t>(y) * static_cast<size_t>(shot.width) + static_cast<size_t>(x)] =
          (r << 16) | (g << 8) | b;
    }
  XDestroyImage(image);
  return shot;
}

void XSession::requestClose(unsigned long id) { sendCloseRequest(m_display, id); }

bool XSession::pingAnswered(unsigned long id, std::chrono::milliseconds timeout) {
  // The answer goes to the root window, where SubstructureNotify selects it.
  const Window root = DefaultRootWindow(m_display);
  XSelectInput(m_display, root, SubstructureNotifyMask);
  const Atom protocols = XInternAtom(m_display, "WM_PROTOCOLS", False);
  const Atom ping = XInternAtom(m_display, "_NET_WM_PING", False);
  const long serial = ++m_pingSerial;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = id;
  event.xclient.message_type = protocols;
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(ping);
  event.xclient.data.l[1] = serial;  // stands in for the time stamp, which comes back as sent
  event.xclient.data.l[2] = static_cast<long>(id);
  XSendEvent(m_display, id, False, NoEventMask, &event);
  XSync(m_display, False);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool answered = false;
  while (!answered && std::chrono::steady_clock::now() < deadline) {
    while (!answered && XPending(m_display)) {
      XNextEvent(m_display, &event);
      answered = event.type == ClientMessage && event.xclient.message_type == protocols &&
                 static_cast<Atom>(event.xclient.data.l[0]) == ping && event.xclient.data.l[1] == serial &&
                 static_cast<unsigned long>(event.xclient.data.l[2]) == id;
    }
    if (!answered) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  XSelectInput(m_display, root, NoEventMask);
  return answered;
}

namespace {

template <typename Visit>
void forEachWindow(Display* display, Window window, const Visit& visit) {
  visit(window);
  Window rootReturn, parent;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &rootReturn, &parent, &children, &count)) return;
  for (unsigned int i = 0; i < count; ++i) forEachWindow(display, children[i], visit);
  if (children) XFree(children);
}

std::vector<unsigned long> longsProperty(Display* display, Window window, Atom property, Atom type) {
  Atom actualType;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::vector<unsigned long> values;
  if (XGetWindowProperty(display, window, property, 0, 64, False, type, &actualType, &format, &count, &after, &data) ==
          Success &&
      data) {
    if (actualType == type && format == 32) {
      const auto* longs = reinterpret_cast<const unsigned long*>(data);
      values.assign(longs, longs + count);
    }
    XFree(data);
  }
  return values;
}

}  // namespace

bool XSession::windowManagerRunning() {
  const Atom check = XInternAtom(m_display, "_NET_SUPPORTING_WM_CHECK", False);
  const auto windows = longsProperty(m_display, DefaultRootWindow(m_display), check, XA_WINDOW);
  if (windows.size() != 1) return false;
  const IgnoredXErrors ignored(m_display);
  return longsProperty(m_display, windows[0], check, XA_WINDOW) == windows;
}

std::optional<ClientWindow> XSession::clientWindow(pid_t pid, const std::string& name, int width, int height) {
  const Atom netName = XInternAtom(m_display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(m_display, "UTF8_STRING", False);
  const IgnoredXErrors ignored(m_display);
  std::optional<ClientWindow> found;
  forEachWindow(m_display, DefaultRootWindow(m_display), [&](Window window) {
    if (found || pidProperty(m_display, window) != pid || textProperty(m_display, window, netName, utf8) != name)
      return;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(m_display, window, &attributes) || attributes.width != width ||
        attributes.height != height)
      return;
    ClientWindow client;
    client.id = window;
    Window child;
    XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &client.x, &client.y, &child);
    client.width = attributes.width;
    client.height = attributes.height;
    client.viewable = attributes.map_state == IsViewable;
    found = client;
  });
  return found;
}

std::vector<std::string> XSession::netWmState(unsigned long id) {
  std::vector<std::string> names;
  const Atom state = XInternAtom(m_display, "_NET_WM_STATE", False);
  for (unsigned long atom : longsProperty(m_display, id, state, XA_ATOM)) {
    if (char* name = XGetAtomName(m_display, atom)) {
      names.emplace_back(name);
      XFree(name);
    }
  }
  return names;
}

long XSession::wmState(unsigned long id) {
  const Atom state = XInternAtom(m_display, "WM_STATE", False);
  const auto values = longsProperty(m_display, id, state, state);
  return values.empty() ? 0 : static_cast<long>(values[0]);
}
