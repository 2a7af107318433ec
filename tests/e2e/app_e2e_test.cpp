// The real program on a private X server (tests/support/with-xvfb, 1024 x 768, no window
// manager): where its window appears and what it covers, dragging it, the ways to end it,
// and a fatal start-up failure with its message box.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "caption_reference.h"
#include "program_run.h"
#include "x_session.h"

namespace {

using namespace std::chrono_literals;

constexpr char kCaption[] = "KQ DIVU RAZOV VUZE";
constexpr int kWindowSize = 512;
// A root colour that nothing the program draws is expected to hit exactly.
constexpr uint32_t kRootColour = 0xFF00FF;
constexpr auto kStartTimeout = 30s;
// Input is sent as soon as the window is mapped, while the program may still be making its
// device and opening the music; it is served only once the main loop runs. A loaded
// machine with software rendering can take a while to get there.
constexpr auto kExitTimeout = 60s;
// Signals end the program within a second and a lost display within two; the margin is for
// a test machine loaded with other work.
constexpr auto kPromptExit = 4s;

struct Rect {
  int left, top, right, bottom;  // right and bottom exclusive
  bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// The outline's rectangles, read from the committed resource file itself.
std::vector<Rect> outlineRects() {
  std::ifstream in(KQ_REGION_FILE, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<Rect> rects;
  for (size_t at = 32; at + 16 <= bytes.size(); at += 16) {
    int32_t v[4];
    std::memcpy(v, bytes.data() + at, sizeof v);
    rects.push_back({v[0], v[1], v[2], v[3]});
  }
  return rects;
}

// The eight buttons' hit rectangles, made exclusive.
const Rect kButtons[] = {{113, 355, 137, 385}, {140, 361, 167, 390}, {172, 364, 200, 396}, {206, 367, 235, 398},
                         {244, 369, 273, 398}, {282, 369, 311, 398}, {318, 366, 346, 397}, {352, 362, 380, 392}};

class Outline {
 public:
  Outline() : m_rects(outlineRects()) {}
  bool empty() const { return m_rects.empty(); }
  bool contains(int x, int y) const {
    for (const Rect& r : m_rects)
      if (r.contains(x, y)) return true;
    return false;
  }
  // A point of the window body well inside the outline and away from every button, so
  // that pressing there starts a drag.
  std::optional<std::pair<int, int>> bodyPoint() const {
    constexpr int kMargin = 4;
    for (int y = 200; y < 340; y += 2)
      for (int x = 180; x < 340; x += 2) {
        bool ok = true;
        for (int dy = -kMargin; dy <= kMargin && ok; ++dy)
          for (int dx = -kMargin; dx <= kMargin && ok; ++dx) {
            ok = contains(x + dx, y + dy);
            for (const Rect& b : kButtons) ok = ok && !b.contains(x + dx, y + dy);
          }
        if (ok) return std::pair{x, y};
      }
    return std::nullopt;
  }

 private:
  std::vector<Rect> m_rects;
};

std::string xdotool() { return KQ_XDOTOOL; }

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x.connected()) << "no X display; run under tests/support/with-xvfb";
    x.setRootColour(kRootColour);
    // Away from the window, so that no button's tooltip opens over the screen under test.
    ASSERT_EQ(runCommand({xdotool(), "mousemove", "0", "0"}, 10s), 0);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    workDir = std::string(KQ_E2E_WORK_ROOT) + "/" + info->name();
    makeEmptyDirectory(workDir);
    // The music is opened by relative path from tunes/ beside the working folder.
    if (std::filesystem::is_directory(KQ_TUNES_DIR))
      std::filesystem::create_directory_symlink(KQ_TUNES_DIR, workDir + "/tunes");
  }

  void start(const char* program = KQ_PROGRAM, std::vector<std::string> environment = {}) {
    if (std::none_of(environment.begin(), environment.end(),
                     [](const std::string& e) { return e.starts_with("SDL_AUDIODRIVER="); }))
      environment.push_back("SDL_AUDIODRIVER=dummy");
    run = std::make_unique<ProgramRun>(program, workDir, environment);
    ASSERT_TRUE(run->started()) << program;
  }

  // A fatal start-up failure: the main window is gone by the time the box with the
  // message shows; the message is on stderr; answering the box ends the program with 5.
  void expectFatalBox(const std::string& message) {
    const pid_t pid = run->pid();
    // The box carries the program's caption too; it is the one that is not the main window.
    const auto box = x.waitForWindow(
        [](const TopLevelWindow& w) {
          return w.name == kCaption && !(w.width == kWindowSize && w.height == kWindowSize);
        },
        kStartTimeout);
    ASSERT_TRUE(box) << "no message box appeared; stderr:\n" << run->standardError();
    for (const auto& w : x.topLevelWindows())
      EXPECT_FALSE(w.pid == pid && w.width == kWindowSize && w.height == kWindowSize)
          << "the main window is destroyed before the box is shown";
    expectStillRunning(500ms);
    EXPECT_NE(run->standardError().find(message + "\n"), std::string::npos) << run->standardError();

    focus(box->id);
    key("Return");
    expectExit(5);
    EXPECT_FALSE(x.window(box->id)) << "the box is gone";
  }

  // The program's 512 x 512 main window, once it is on screen.
  std::optional<TopLevelWindow> mainWindow() { return mainWindowOn(x); }
  std::optional<TopLevelWindow> mainWindowOn(XSession& session) {
    const pid_t pid = run->pid();
    auto found = session.waitForWindow(
        [&](const TopLevelWindow& w) {
          return w.pid == pid && w.name == kCaption && w.width == kWindowSize && w.height == kWindowSize;
        },
        kStartTimeout);
    if (!found) ADD_FAILURE() << "no main window appeared; stderr:\n" << run->standardError();
    return found;
  }

  // The main window, once the main loop is known to run (it answers a ping only from there),
  // focused for keys.
  std::optional<TopLevelWindow> runningMainWindow() {
    auto w = mainWindow();
    if (!w) return w;
    if (!x.pingAnswered(w->id, kExitTimeout)) {
      ADD_FAILURE() << "the main loop does not run; stderr:\n" << run->standardError();
      return std::nullopt;
    }
    focus(w->id);
    return w;
  }

  void expectPromptExit(int code) {
    const auto exit = run->waitForExit(kPromptExit);
    ASSERT_TRUE(exit) << "the program did not end within " << kPromptExit.count() << " s";
    EXPECT_EQ(*exit, code) << "stderr:\n" << run->standardError();
  }

  void focus(unsigned long window) {
    EXPECT_EQ(runCommand({xdotool(), "windowfocus", "--sync", std::to_string(window)}, 10s), 0);
  }
  void key(const std::string& keys) { EXPECT_EQ(runCommand({xdotool(), "key", keys}, 10s), 0); }
  // Moves the pointer to a point of the screen, or clicks there.
  void pointAt(int sx, int sy) {
    EXPECT_EQ(runCommand({xdotool(), "mousemove", "--sync", std::to_string(sx), std::to_string(sy)}, 10s), 0);
  }
  void clickAt(int sx, int sy) {
    EXPECT_EQ(runCommand({xdotool(), "mousemove", "--sync", std::to_string(sx), std::to_string(sy), "click", "1"}, 10s),
              0);
  }
  // The one tooltip the program shows, once it is on screen right of and below the pointer.
  std::optional<TopLevelWindow> tooltipBelow(int sx, int sy) {
    const pid_t pid = run->pid();
    const auto isTip = [&](const TopLevelWindow& w) {
      return w.pid == pid && w.name != kCaption && w.x > sx && w.x < sx + 40 && w.y > sy && w.y < sy + 60;
    };
    auto tip = x.waitForWindow(isTip, kStartTimeout);
    if (!tip) return tip;
    int shown = 0;
    for (const auto& w : x.topLevelWindows()) shown += w.pid == pid && w.name != kCaption;
    EXPECT_EQ(shown, 1) << "one tooltip at a time";
    return tip;
  }

  // Polls `condition` until it holds or `timeout` passes.
  bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kExitTimeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(50ms);
    }
    return true;
  }

  // Whether one of the program's tooltips is on screen.
  bool tooltipShown() {
    const pid_t pid = run->pid();
    for (const auto& t : x.topLevelWindows())
      if (t.pid == pid && t.name != kCaption) return true;
    return false;
  }

  void expectExit(int code) {
    const auto exit = run->waitForExit(kExitTimeout);
    ASSERT_TRUE(exit) << "the program did not end";
    EXPECT_EQ(*exit, code) << "stderr:\n" << run->standardError();
  }

  // The program must still be running after `wait` (it must not have taken the last input
  // as a reason to end).
  void expectStillRunning(std::chrono::milliseconds wait) {
    std::this_thread::sleep_for(wait);
    EXPECT_TRUE(run->running()) << "the program ended; stderr:\n" << run->standardError();
  }

  XSession x;
  std::string workDir;
  std::unique_ptr<ProgramRun> run;
};

TEST_F(ProgramTest, WindowIsCentredAndCutToItsOutline) {
  const Outline outline;
  ASSERT_FALSE(outline.empty());
  start();
  const auto w = mainWindow();
  ASSERT_TRUE(w);
  EXPECT_EQ(w->x, (x.screenWidth() - kWindowSize) / 2);
  EXPECT_EQ(w->y, (x.screenHeight() - kWindowSize) / 2);
  EXPECT_EQ(w->x, 256) << "on a 1024 x 768 screen";
  EXPECT_EQ(w->y, 128);

  // Shape and first paint may land a moment after the window is mapped.
  int outsideWrong = 0, insideWrong = 0, inside = 0;
  Screenshot shot;
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  do {
    std::this_thread::sleep_for(200ms);
    shot = x.screenshot();
    ASSERT_FALSE(shot.pixels.empty());
    outsideWrong = insideWrong = inside = 0;
    for (int y = 0; y < kWindowSize; ++y)
      for (int xx = 0; xx < kWindowSize; ++xx) {
        const bool isRoot = shot.at(w->x + xx, w->y + y) == kRootColour;
        if (outline.contains(xx, y)) {
          ++inside;
          insideWrong += isRoot;
        } else {
          outsideWrong += !isRoot;
        }
      }
  } while ((outsideWrong || insideWrong) && std::chrono::steady_clock::now() < deadline);
  EXPECT_EQ(outsideWrong, 0) << "pixels outside the outline that are not the root window";
  EXPECT_EQ(insideWrong, 0) << "pixels of the outline (" << inside << ") that show the root window";
  if (outsideWrong || insideWrong) shot.writePpm(workDir + "/screen.ppm");

  focus(w->id);
  key("Shift_L");
  expectExit(0);
}

TEST_F(ProgramTest, DraggingTheBodyMovesTheWindow) {
  const auto grip = Outline().bodyPoint();
  ASSERT_TRUE(grip);
  start();
  const auto w = mainWindow();
  ASSERT_TRUE(w);
  const int sx = w->x + grip->first, sy = w->y + grip->second;
  constexpr int kDx = 60, kDy = 30;
  const auto s = [](int v) { return std::to_string(v); };
  EXPECT_EQ(runCommand({xdotool(),
                        "mousemove",
                        "--sync",
                        s(sx),
                        s(sy),
                        "sleep",
                        "0.3",
                        "mousedown",
                        "1",
                        "sleep",
                        "0.5",
                        "mousemove",
                        s(sx + kDx / 3),
                        s(sy + kDy / 3),
                        "sleep",
                        "0.2",
                        "mousemove",
                        s(sx + 2 * kDx / 3),
                        s(sy + 2 * kDy / 3),
                        "sleep",
                        "0.2",
                        "mousemove",
                        s(sx + kDx),
                        s(sy + kDy),
                        "sleep",
                        "0.5",
                        "mouseup",
                        "1"},
                       20s),
            0);
  std::optional<TopLevelWindow> moved;
  const auto deadline = std::chrono::steady_clock::now() + kExitTimeout;
  do {
    moved = x.window(w->id);
    if (moved && moved->x == w->x + kDx && moved->y == w->y + kDy) break;
    std::this_thread::sleep_for(100ms);
  } while (std::chrono::steady_clock::now() < deadline);
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->x, w->x + kDx);
  EXPECT_EQ(moved->y, w->y + kDy);
  EXPECT_TRUE(run->running()) << "a drag does not end the program";

  focus(w->id);
  key("Shift_L");
  expectExit(0);
}

TEST_F(ProgramTest, ShiftAloneEndsTheProgram) {
  start();
  const auto w = mainWindow();
  ASSERT_TRUE(w);
  focus(w->id);
  key("Shift_L");
  expectExit(0);
}

TEST_F(ProgramTest, ArrowKeyEndsTheProgram) {
  start();
  const auto w = mainWindow();
  ASSERT_TRUE(w);
  focus(w->id);
  key("Up");
  expectExit(0);
}

TEST_F(ProgramTest, AltAloneAndF10AreNotQuitKeys) {
  start();
  // Keys sent before the loop runs would be served together with the final key, and the
  // test would pass whatever they do.
  const auto w = runningMainWindow();
  ASSERT_TRUE(w);
  key("Alt_L");
  expectStillRunning(1500ms);
  key("F10");
  expectStillRunning(1500ms);
  key("Down");
  expectExit(0);
}

// Keys beyond the ordinary ones: one SDL knows (a media key), one that only the X server
// knows (F13 on a spare key code), and AltGr, which is Control plus Alt.
TEST_F(ProgramTest, EveryOtherKeyEndsTheProgram) {
  for (const char* keyName : {"XF86AudioPlay", "F13", "ISO_Level3_Shift"}) {
    SCOPED_TRACE(keyName);
    start();
    ASSERT_TRUE(runningMainWindow());
    key(keyName);
    expectPromptExit(0);
  }
}

// kill, Ctrl+C in a terminal and a session's hang-up close the program the orderly way.
TEST_F(ProgramTest, TerminationSignalsEndTheProgramInOrder) {
  for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signalNumber));
    start();
    ASSERT_TRUE(runningMainWindow());
    ASSERT_EQ(kill(run->pid(), signalNumber), 0);
    expectPromptExit(0);
  }
}

// The X server going away under the program (its end, a dropped remote connection).
TEST_F(ProgramTest, LostDisplayEndsTheProgram) {
  PrivateXServer server("1024x768x24");
  ASSERT_FALSE(server.display().empty()) << "no private X server";
  {
    XSession session(server.display().c_str());
    ASSERT_TRUE(session.connected());
    start(KQ_PROGRAM, {"DISPLAY=" + server.display()});
    const auto w = mainWindowOn(session);
    ASSERT_TRUE(w);
    ASSERT_TRUE(session.pingAnswered(w->id, kExitTimeout)) << run->standardError();
  }  // the test's own connection goes before the server does
  server.kill();
  expectPromptExit(1);
  const std::string errors = run->standardError();
  const std::string line = "the display connection was lost\n";
  const size_t at = errors.find(line);
  EXPECT_NE(at, std::string::npos) << errors;
  EXPECT_EQ(errors.find(line, at + 1), std::string::npos) << "one line only:\n" << errors;
}

// A 16-bit desktop: the device takes its format, and the program runs and renders there.
TEST_F(ProgramTest, RunsOnA16BitScreen) {
  const Outline outline;
  PrivateXServer server("1024x768x16");
  ASSERT_FALSE(server.display().empty()) << "no private X server";
  XSession session(server.display().c_str());
  ASSERT_TRUE(session.connected());
  session.setRootColour(kRootColour);
  start(KQ_PROGRAM, {"DISPLAY=" + server.display()});
  const auto w = mainWindowOn(session);
  ASSERT_TRUE(w);
  // Frames are presented once the loop runs, and the loop runs only once the device exists.
  ASSERT_TRUE(session.pingAnswered(w->id, kExitTimeout)) << run->standardError();
  const Screenshot shot = session.screenshot();
  ASSERT_FALSE(shot.pixels.empty());
  int insideRoot = 0;
  for (int y = 0; y < kWindowSize; ++y)
    for (int xx = 0; xx < kWindowSize; ++xx)
      insideRoot += outline.contains(xx, y) && shot.at(w->x + xx, w->y + y) == kRootColour;
  EXPECT_EQ(insideRoot, 0) << "the window shows the root through its outline";
  session.requestClose(w->id);
  expectExit(0);
}

TEST_F(ProgramTest, AltF4EndsTheProgram) {
  start();
  const auto w = mainWindow();
  ASSERT_TRUE(w);
  focus(w->id);
  key("alt+F4");
  expectExit(0);
}

TEST_F(ProgramTest, CloseRequestEndsTheProgram) {
  start();
  const auto w = mainWindow();
  ASSERT_TRUE(w);
  x.requestClose(w->id);
  expectExit(0);
}

TEST_F(ProgramTest, ExitButtonEndsTheProgram) {
  start();
  const auto w = mainWindow();
  ASSERT_TRUE(w);
  const auto s = [](int v) { return std::to_string(v); };
  EXPECT_EQ(runCommand({xdotool(), "mousemove", "--sync", s(w->x + 365), s(w->y + 376), "click", "1"}, 10s), 0);
  expectExit(0);
}

TEST_F(ProgramTest, MissingOutlineIsFatal) {
  start(KQ_PROGRAM_NO_REGION);
  expectFatalBox("Error loading IDR_REGION");
}

TEST_F(ProgramTest, MissingTunesAreFatal) {
  std::filesystem::remove(workDir + "/tunes");
  start();
  expectFatalBox("AudioInit failed!");
  EXPECT_NE(run->standardError().find("tunes\\track01.mp3"), std::string::npos) << "the missing file is named:\n"
                                                                                << run->standardError();
}

TEST_F(ProgramTest, NoRenderingDeviceIsFatal) {
  // A driver that offers no OpenGL 3.3 core context leaves the device layer nothing to run on.
  start(KQ_PROGRAM, {"MESA_GL_VERSION_OVERRIDE=3.1"});
  expectFatalBox("Error creating device\n");
}

struct ButtonTip {
  const char* text;
  int index;
};

// Resting the pointer on a button shows its tooltip after the delay: a pale popup with a
// grey border and the button's text, beside the pointer. The popups are saved as
// tooltip-<index>.ppm in the test's working folder for a look at the text.
TEST_F(ProgramTest, EachButtonShowsItsTooltipAfterTheDelay) {
  static constexpr ButtonTip kTips[] = {{" previous", 0}, {" play / pause", 1}, {" stop", 2},     {" next", 3},
                                        {" credz", 4},    {" stay on top", 5},  {" minimize", 6}, {" exit", 7}};
  start();
  const auto w = mainWindow();
  ASSERT_TRUE(w);
  int widths[8] = {};
  for (const ButtonTip& tip : kTips) {
    SCOPED_TRACE(tip.text);
    const Rect& b = kButtons[tip.index];
    const int sx = w->x + (b.left + b.right) / 2, sy = w->y + (b.top + b.bottom) / 2;
    pointAt(sx, sy);
    const auto popup = tooltipBelow(sx, sy);
    ASSERT_TRUE(popup) << "no tooltip; stderr:\n" << run->standardError();
    widths[tip.index] = popup->width;
    EXPECT_GE(popup->height, 16);
    EXPECT_LE(popup->height, 26);
    // A 12-pixel sans-serif face: 4 to 9 pixels a character, with padding and border.
    const int length = static_cast<int>(std::strlen(tip.text));
    EXPECT_GE(popup->width, 4 * length + 10);
    EXPECT_LE(popup->width, 9 * length + 12);

    std::this_thread::sleep_for(200ms);  // drawn right after it is mapped
    const Screenshot shot = x.screenshot();
    Screenshot crop;
    crop.width = popup->width;
    crop.height = popup->height;
    int dark = 0;
    for (int y = 0; y < popup->height; ++y)
      for (int xx = 0; xx < popup->width; ++xx) {
        const uint32_t p = shot.at(popup->x + xx, popup->y + y);
        crop.pixels.push_back(p);
        dark += (p & 0xFF) < 0x60;
      }
    crop.writePpm(workDir + "/tooltip-" + std::to_string(tip.index) + ".ppm");
    EXPECT_EQ(crop.at(0, 0), 0x767676u) << "border";
    EXPECT_EQ(crop.at(crop.width - 1, crop.height - 1), 0x767676u) << "border";
    EXPECT_EQ(crop.at(2, 2), 0xFFFFE1u) << "ground";
    EXPECT_GT(dark, 6 * (length - 1)) << "text";
  }
  EXPECT_GT(widths[1], widths[2]) << "play / pause is wider than stop";
  EXPECT_GT(widths[5], widths[7]) << "stay on top is wider than exit";

  // Leaving the buttons for the body hides the last tooltip.
  const auto body = Outline().bodyPoint();
  ASSERT_TRUE(body);
  pointAt(w->x + body->first, w->y + body->second);
  EXPECT_TRUE(waitFor([&] { return !tooltipShown(); }, 10s));
  key("Shift_L");
  expectExit(0);
}

// The tooltip never takes the keyboard: a key pressed while it shows still ends the program.
TEST_F(ProgramTest, KeyPressQuitsWhileATooltipShows) {
  start();
  const auto w = mainWindow();
  ASSERT_TRUE(w);
  const Rect& next = kButtons[3];
  const int sx = w->x + (next.left + next.right) / 2, sy = w->y + (next.top + next.bottom) / 2;
  pointAt(sx, sy);
  ASSERT_TRUE(tooltipBelow(sx, sy));
  key("Shift_L");
  expectExit(0);
}

// ---- the caption on the wagons and the playback buttons --------------------------------

// One turn of the train at 0.2 radians a second of the clock.
constexpr uint32_t kTurnMs = 31416;
// Where in a turn the first two wagons (" playing ", " track 1 ") pass in front, left of
// the middle, their sides to the camera.
constexpr uint32_t kWagonsInFrontMs = 500;
// The red of their sides on screen at that moment, where the text rides (window coordinates,
// right and bottom exclusive); nothing else there is golden.
constexpr Rect kFirstWagonSide = {122, 284, 162, 300};
constexpr Rect kSecondWagonSide = {172, 284, 216, 300};
constexpr int kPieceX[5] = {20, 12, 12, 12, 12};

using Caption = std::array<const char*, 5>;

bool nearColour(uint32_t p, uint32_t q, int tolerance) {
  for (int shift : {16, 8, 0})
    if (std::abs(static_cast<int>(p >> shift & 0xFF) - static_cast<int>(q >> shift & 0xFF)) > tolerance) return false;
  return true;
}

// The caption's gold on screen, lit and shaded on a wagon's side: strong red and green, no blue.
bool goldenOnScreen(uint32_t p) {
  const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
  return r > 150 && g > 100 && g < r && b < 90;
}

// Runs the program with every device context it draws into saved in the working folder:
// the caption's five wagons, in order, each time the caption is painted.
class CaptionTest : public ProgramTest {
 protected:
  void startWithDumps(std::vector<std::string> environment = {}) {
    dumps = workDir + "/dc";
    makeEmptyDirectory(dumps);
    environment.push_back("KQ_MEMORY_DC_DUMP=" + dumps);
    start(KQ_PROGRAM, environment);
  }
  std::string dumpPath(int n) const {
    char name[32];
    std::snprintf(name, sizeof name, "/dc-%04d.ppm", n);
    return dumps + name;
  }
  int dumpCount() const {
    int n = 0;
    while (std::filesystem::exists(dumpPath(n + 1))) ++n;
    return n;
  }
  // The wagons of the `refresh`-th painting (0 the first) show `caption`: each texture is
  // unchanged by painting its piece over it again, and its golden text lies in the red upper
  // half. The expected pictures of mismatches are saved beside the dumps.
  void expectCaption(int refresh, const Caption& caption) {
    const int last = refresh * 5 + 5;
    ASSERT_TRUE(waitFor([&] { return dumpCount() >= last; })) << "the caption was not painted; stderr:\n"
                                                              << run->standardError();
    for (int k = 0; k < 5; ++k) {
      SCOPED_TRACE(std::string("wagon ") + std::to_string(k + 1) + " \"" + caption[k] + "\"");
      const auto wagon = Screenshot::readPpm(dumpPath(refresh * 5 + k + 1));
      ASSERT_TRUE(wagon);
      ASSERT_EQ(wagon->width, 256);
      ASSERT_EQ(wagon->height, 256);
      const Screenshot expected = paintCaptionPiece(*wagon, caption[k], kPieceX[k]);
      int differing = 0, text = 0, textOutside = 0;
      for (int y = 0; y < 256; ++y)
        for (int xx = 0; xx < 256; ++xx) {
          differing += wagon->at(xx, y) != expected.at(xx, y);
          if (wagon->at(xx, y) != captionTextColour()) continue;
          ++text;
          textOutside += y < 70 || y >= 128;
        }
      EXPECT_EQ(differing, 0);
      if (differing) expected.writePpm(dumpPath(refresh * 5 + k + 1) + ".expected.ppm");
      EXPECT_GT(text, 40) << "solid golden glyph pixels";
      EXPECT_EQ(textOutside, 0) << "text outside the red upper half";
      EXPECT_EQ(wagon->at(10, 70), captionGroundColour()) << "the blanks' ground at the text's origin";
    }
  }

  // The pixels of button `index` on screen.
  std::vector<uint32_t> buttonPixels(const Screenshot& shot, const TopLevelWindow& w, int index) {
    std::vector<uint32_t> pixels;
    const Rect& b = kButtons[index];
    for (int y = b.top; y < b.bottom; ++y)
      for (int xx = b.left; xx < b.right; ++xx) pixels.push_back(shot.at(w.x + xx, w.y + y));
    return pixels;
  }
  // Whether button `index` looks different from `unlit` (its pixels with no light on).
  bool lit(const TopLevelWindow& w, int index, const std::vector<uint32_t>& unlit) {
    const auto now = buttonPixels(x.screenshot(), w, index);
    int changed = 0;
    for (size_t i = 0; i < now.size(); ++i) changed += !nearColour(now[i], unlit[i], 24);
    return changed * 5 > static_cast<int>(now.size());
  }
  // Clicks a button and moves the pointer off the window, so that no tooltip covers the
  // screen under test.
  void press(const TopLevelWindow& w, int index) {
    const Rect& b = kButtons[index];
    const auto s = [](int v) { return std::to_string(v); };
    EXPECT_EQ(runCommand({xdotool(), "mousemove", "--sync", s(w.x + (b.left + b.right) / 2),
                          s(w.y + (b.top + b.bottom) / 2), "click", "1", "mousemove", "--sync", "0", "0"},
                         10s),
              0);
  }

  std::string dumps;
};

// The caption is painted once at start, and the train carries it round: when the first two
// wagons pass in front they show " playing " and " track 1 " on screen. The screen is saved
// as wagons.ppm in the test's working folder.
TEST_F(CaptionTest, FirstWagonsShowPlayingTrackOne) {
  // The clock starts so that the wagons come round a few seconds after start, and again
  // every turn, for a machine slow to start.
  constexpr uint32_t kLead = 6000;
  const auto launched = std::chrono::steady_clock::now();
  startWithDumps({"KQ_CLOCK_START=" + std::to_string(kTurnMs + kWagonsInFrontMs - kLead)});
  const auto w = runningMainWindow();
  ASSERT_TRUE(w);
  expectCaption(0, {" playing ", " track 1 ", "   Jingle", "Bells    ", "by tgen"});

  auto due = launched + std::chrono::milliseconds(kLead);
  while (due < std::chrono::steady_clock::now() + 500ms) due += std::chrono::milliseconds(kTurnMs);
  std::this_thread::sleep_until(due);
  const Screenshot shot = x.screenshot();
  Screenshot window{kWindowSize, kWindowSize, {}};
  for (int y = 0; y < kWindowSize; ++y)
    for (int xx = 0; xx < kWindowSize; ++xx) window.pixels.push_back(shot.at(w->x + xx, w->y + y));
  window.writePpm(workDir + "/wagons.ppm");
  for (const Rect& side : {kFirstWagonSide, kSecondWagonSide}) {
    int golden = 0;
    for (int y = side.top; y < side.bottom; ++y)
      for (int xx = side.left; xx < side.right; ++xx) golden += goldenOnScreen(window.at(xx, y));
    EXPECT_GT(golden, 30) << "caption text on the wagon at x " << side.left << " to " << side.right;
  }

  key("Shift_L");
  expectExit(0);
  EXPECT_EQ(dumpCount(), 5) << "painted once while nothing changes";
}

// Every button with its effect and light: previous and next wrap, play/pause and stop show
// in the caption (and play/pause stays lit while paused), the credits fade in and out, stay
// on top stays lit while on; the next click's caption is painted before a key pressed right
// after it ends the program.
TEST_F(CaptionTest, ButtonsChangeTheCaptionAndLightUp) {
  startWithDumps();
  const auto w = runningMainWindow();
  ASSERT_TRUE(w);
  expectCaption(0, {" playing ", " track 1 ", "   Jingle", "Bells    ", "by tgen"});
  ASSERT_TRUE(waitFor([&] { return !tooltipShown(); }));
  // The buttons at rest, once frames are on screen: two shots a moment apart agree and the
  // window is no longer black there.
  Screenshot unlitShot;
  std::vector<uint32_t> unlit[8];
  ASSERT_TRUE(waitFor([&] {
    unlitShot = x.screenshot();
    bool same = true, black = true;
    for (int i = 0; i < 8; ++i) {
      auto pixels = buttonPixels(unlitShot, *w, i);
      same = same && pixels == unlit[i];
      black = black && std::all_of(pixels.begin(), pixels.end(), [](uint32_t p) { return p == 0; });
      unlit[i] = std::move(pixels);
    }
    std::this_thread::sleep_for(300ms);
    return same && !black;
  }));

  press(*w, 0);  // previous from the first track wraps to the last
  expectCaption(1, {" playing ", " track 11", " O Holy  ", "Night    ", " by kqd"});
  press(*w, 3);  // next from the last wraps to the first
  expectCaption(2, {" playing ", " track 1 ", "   Jingle", "Bells    ", "by tgen"});

  press(*w, 1);
  expectCaption(3, {" (paused)", " track 1 ", "   Jingle", "Bells    ", "by tgen"});
  EXPECT_TRUE(waitFor([&] { return lit(*w, 1, unlit[1]); })) << "play/pause lit while paused";
  press(*w, 1);
  expectCaption(4, {" playing ", " track 1 ", "   Jingle", "Bells    ", "by tgen"});
  EXPECT_TRUE(waitFor([&] { return !lit(*w, 1, unlit[1]); })) << "play/pause dark while playing";
  press(*w, 2);
  expectCaption(5, {"(stopped)", " track 1 ", "   Jingle", "Bells    ", "by tgen"});

  // The credits panel fades in over the sky, above the train, and out again.
  const Rect title = {150, 170, 360, 200};
  const auto changedInTitle = [&](const Screenshot& before) {
    const Screenshot now = x.screenshot();
    int changed = 0;
    for (int y = title.top; y < title.bottom; ++y)
      for (int xx = title.left; xx < title.right; ++xx)
        changed += !nearColour(now.at(w->x + xx, w->y + y), before.at(w->x + xx, w->y + y), 24);
    return changed * 4 > (title.right - title.left) * (title.bottom - title.top);
  };
  press(*w, 4);
  EXPECT_TRUE(waitFor([&] { return changedInTitle(unlitShot); })) << "credits shown";
  EXPECT_TRUE(lit(*w, 4, unlit[4])) << "credits lit while shown";
  std::this_thread::sleep_for(1500ms);  // the fade takes a second
  x.screenshot().writePpm(workDir + "/credits.ppm");
  press(*w, 4);
  EXPECT_TRUE(waitFor([&] { return !changedInTitle(unlitShot); })) << "credits faded out";
  EXPECT_FALSE(lit(*w, 4, unlit[4]));

  press(*w, 5);
  EXPECT_TRUE(waitFor([&] { return lit(*w, 5, unlit[5]); })) << "stay on top lit while on";
  press(*w, 5);
  EXPECT_TRUE(waitFor([&] { return !lit(*w, 5, unlit[5]); }));
  EXPECT_EQ(dumpCount(), 30) << "the credits and the window's order leave the caption alone";

  // The click and the key arrive together; the loop serves one message a pass.
  const Rect& next = kButtons[3];
  const auto s = [](int v) { return std::to_string(v); };
  focus(w->id);
  EXPECT_EQ(runCommand({xdotool(), "mousemove", "--sync", s(w->x + (next.left + next.right) / 2),
                        s(w->y + (next.top + next.bottom) / 2), "click", "1", "key", "Shift_L"},
                       10s),
            0);
  expectExit(0);
  expectCaption(6, {" playing ", " track 2 ", "Away In  ", "a Manger ", "by tgen"});
  EXPECT_EQ(dumpCount(), 35);
}

// The same program under a window manager (openbox), which stacks, iconifies and focuses
// windows itself. Runs on a display of its own (see CMakeLists.txt).
class WindowManagerTest : public ProgramTest {
 protected:
  static void SetUpTestSuite() {
    const std::string dir = std::string(KQ_E2E_WORK_ROOT) + "/openbox";
    makeEmptyDirectory(dir);
    s_windowManager = std::make_unique<ProgramRun>(KQ_OPENBOX, dir, std::vector<std::string>{});
  }
  static void TearDownTestSuite() { s_windowManager.reset(); }
  void SetUp() override {
    ProgramTest::SetUp();
    ASSERT_TRUE(s_windowManager->started());
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (!x.windowManagerRunning() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(x.windowManagerRunning()) << "openbox did not start";
  }

  std::optional<ClientWindow> client(bool viewable) {
    std::optional<ClientWindow> found;
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    do {
      found = x.clientWindow(run->pid(), kCaption, kWindowSize, kWindowSize);
      if (found && found->viewable == viewable) return found;
      std::this_thread::sleep_for(100ms);
    } while (std::chrono::steady_clock::now() < deadline);
    ADD_FAILURE() << "no main window " << (viewable ? "on screen" : "off screen") << "; stderr:\n"
                  << run->standardError();
    return std::nullopt;
  }
  bool above(unsigned long id) {
    const auto state = x.netWmState(id);
    return std::find(state.begin(), state.end(), "_NET_WM_STATE_ABOVE") != state.end();
  }

  static inline std::unique_ptr<ProgramRun> s_windowManager;
};

TEST_F(WindowManagerTest, StayOnTopSetsAndClearsTheAboveStateAndExitEndsWithZero) {
  start();
  const auto w = client(true);
  ASSERT_TRUE(w);
  EXPECT_FALSE(above(w->id)) << "starts in the normal order";
  clickAt(w->x + 296, w->y + 383);
  EXPECT_TRUE(waitFor([&] { return above(w->id); }));
  clickAt(w->x + 297, w->y + 384);
  EXPECT_TRUE(waitFor([&] { return !above(w->id); }));
  clickAt(w->x + 365, w->y + 376);
  expectExit(0);
}

// Minimised, the window is iconified, the music plays on and the main loop still serves the
// window's messages: a close request ends the program normally.
TEST_F(WindowManagerTest, MinimiseIconifiesWhileMusicAndLoopGoOn) {
  const std::string audio = workDir + "/audio.raw";
  start(KQ_PROGRAM, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + audio});
  const auto w = client(true);
  ASSERT_TRUE(w);
  ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(audio) && std::filesystem::file_size(audio) > 0; }));
  clickAt(w->x + 330, w->y + 380);
  ASSERT_TRUE(client(false));
  EXPECT_TRUE(waitFor([&] { return x.wmState(w->id) == 3; }, 10s)) << "iconic";
  EXPECT_TRUE(run->running());

  // 16-bit stereo at 44,100 Hz: a second of music is 176,400 bytes, and it is not silence.
  const auto before = std::filesystem::file_size(audio);
  std::this_thread::sleep_for(1500ms);
  const auto after = std::filesystem::file_size(audio);
  EXPECT_GE(after - before, 176400u) << "the sound went on";
  std::ifstream in(audio, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(before));
  std::vector<int16_t> samples((after - before) / 2);
  in.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));
  int16_t loudest = 0;
  for (int16_t v : samples) loudest = std::max<int16_t>(loudest, static_cast<int16_t>(std::abs(v)));
  EXPECT_GT(loudest, 1000) << "music, not silence";

  x.requestClose(w->id);
  expectExit(0);
}

}  // namespace
