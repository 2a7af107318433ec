// What the end-to-end tests need of the X server directly: finding the program's top-level
// windows, their geometry, the screen's pixels, the root's colour and close requests.
// Input goes through xdotool.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct TopLevelWindow {
  unsigned long id = 0;
  std::string name;
  pid_t pid = 0;  // 0 when the window does not say
  int x = 0, y = 0, width = 0, height = 0;
};

// A client window wherever it lies in the tree (a window manager puts it inside a frame).
struct ClientWindow {
  unsigned long id = 0;
  int x = 0, y = 0;  // on the screen
  int width = 0, height = 0;
  bool viewable = false;
};

// Pixels as 0xRRGGBB, row by row.
struct Screenshot {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const {
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  }
  bool writePpm(const std::string& path) const;
  // A binary 8-bit PPM (P6) as written above; nullopt for anything else.
  static std::optional<Screenshot> readPpm(const std::string& path);
};

class XSession {
 public:
  // Connects to the named display, $DISPLAY when null.
  explicit XSession(const char* displayName = nullptr);
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  bool connected() const { return m_display != nullptr; }
  int screenWidth() const;
  int screenHeight() const;

  // Paints the root window (the background of everything) in one colour.
  void setRootColour(uint32_t rgb);
  // The viewable top-level windows, in stacking order.
  std::vector<TopLevelWindow> topLevelWindows();
  // Polls until a viewable top-level window satisfies `match`, or `timeout` passes.
  std::optional<TopLevelWindow> waitForWindow(const std::function<bool(const TopLevelWindow&)>& match,
                                              std::chrono::milliseconds timeout);
  std::optional<TopLevelWindow> window(unsigned long id);
  Screenshot screenshot();
  // Sends WM_DELETE_WINDOW, as a window manager does for the close button.
  void requestClose(unsigned long id);
  // Sends the window a _NET_WM_PING and waits for the answer, which the program gives only
  // while it looks for messages: evidence that its main loop runs.
  bool pingAnswered(unsigned long id, std::chrono::milliseconds timeout);

  // Whether a window manager has announced itself on the root window and is still there.
  bool windowManagerRunning();
  // The window of that process with that name and size, mapped or not, searched through
  // the whole tree.
  std::optional<ClientWindow> clientWindow(pid_t pid, const std::string& name, int width, int height);
  // The atoms of the window's _NET_WM_STATE, by name.
  std::vector<std::string> netWmState(unsigned long id);
  // The ICCCM WM_STATE a window manager keeps on a client: 1 normal, 3 iconic; 0 when unset.
  long wmState(unsigned long id);

 private:
  struct _XDisplay* m_display = nullptr;
  long m_pingSerial = 0;
};
