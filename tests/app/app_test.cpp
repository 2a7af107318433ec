// The shell: button hit-testing, the resource view, the committed outline, the main window's
// messages and the fatal error routine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <win32_layer.h>

#include "app_state.h"
#include "buttons.h"
#include "main_window.h"
#include "resource.h"
#include "resource_data.h"

namespace {

LPARAM at(int x, int y) { return MAKELPARAM(x, y); }

// Swaps every button's action for one that records which button ran it.
class HitTest : public ::testing::Test {
 protected:
  static inline std::vector<int> ran;
  template <int Index>
  static void record() {
    ran.push_back(Index);
  }

  void SetUp() override {
    static constexpr void (*kRecorders[kButtonCount])() = {record<0>, record<1>, record<2>, record<3>,
                                                           record<4>, record<5>, record<6>, record<7>};
    ran.clear();
    for (int i = 0; i < kButtonCount; ++i) {
      m_saved[i] = buttonTable[i].action;
      buttonTable[i].action = kRecorders[i];
    }
  }
  void TearDown() override {
    for (int i = 0; i < kButtonCount; ++i) buttonTable[i].action = m_saved[i];
  }

 private:
  void (*m_saved[kButtonCount])() = {};
};

TEST_F(HitTest, BoundsAreInclusiveAndGapsBelongToTheBody) {
  EXPECT_EQ(hitTestButtons(at(136, 384)), 0) << "bottom-right corner of previous";
  EXPECT_EQ(ran, std::vector<int>{0});
  EXPECT_EQ(hitTestButtons(at(137, 370)), kNoButton) << "gap between previous and play";
  EXPECT_EQ(ran, std::vector<int>{0}) << "a miss runs nothing";

  for (int i = 0; i < kButtonCount; ++i) {
    SCOPED_TRACE(i);
    const ButtonEntry& b = buttonTable[i];
    ran.clear();
    for (const auto& [x, y] : {std::pair{b.left, b.top}, {b.right, b.top}, {b.left, b.bottom}, {b.right, b.bottom}})
      EXPECT_EQ(hitTestButtons(at(x, y)), i);
    EXPECT_EQ(ran, std::vector<int>(4, i)) << "the action runs once per hit";
    ran.clear();
    for (const auto& [x, y] :
         {std::pair{b.left - 1, b.top}, {b.right + 1, b.bottom}, {b.left, b.top - 1}, {b.right, b.bottom + 1}})
      EXPECT_EQ(hitTestButtons(at(x, y)), kNoButton) << x << "," << y;
    EXPECT_TRUE(ran.empty());
  }
}

TEST(ButtonActions, ExitRequestsQuit) {
  quitRequested = false;
  EXPECT_EQ(hitTestButtons(at(352, 391)), 7);
  EXPECT_TRUE(quitRequested);
  quitRequested = false;
}

std::string readFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ResourceData, ViewsTheOutlineWhereItLies) {
  const std::string file = readFile(KQ_REGION_FILE);
  ASSERT_FALSE(file.empty());

  ResourceData view;
  const void* bytes = view.fromResource(MAKEINTRESOURCEA(IDR_REGION), "BINARY");
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(bytes, view.data);
  ASSERT_EQ(view.size, file.size());
  EXPECT_EQ(std::memcmp(view.data, file.data(), file.size()), 0);

  ResourceData again;
  EXPECT_EQ(again.fromResource(MAKEINTRESOURCEA(102), "binary"), bytes) << "same bytes, type without regard to case";

  EXPECT_EQ(view.fromResource(MAKEINTRESOURCEA(IDR_REGION), "X"), nullptr) << "the name under another type";
  EXPECT_EQ(view.data, nullptr);
  EXPECT_EQ(view.size, 0u) << "a failed lookup leaves the view cleared";
  EXPECT_EQ(view.fromResource("NO_SUCH_RESOURCE", "BINARY"), nullptr);

  again.clear();
  EXPECT_EQ(again.data, nullptr);
  EXPECT_EQ(again.size, 0u);
}

std::string lowerCase(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// Meshes are asked for by the lower-case names written inside other meshes and the code.
TEST(ResourceData, MeshesAreFoundByLowerCaseNameAndType) {
  int meshes = 0;
  for (size_t i = 0; i < kEmbeddedResourceCount; ++i) {
    const EmbeddedResource& entry = kEmbeddedResources[i];
    if (!entry.type.str || std::strcmp(entry.type.str, "X") != 0 || !entry.name.str) continue;
    ++meshes;
    SCOPED_TRACE(entry.name.str);
    ResourceData view;
    EXPECT_EQ(view.fromResource(lowerCase(entry.name.str).c_str(), "x"), entry.data);
    EXPECT_EQ(view.size, entry.size);
  }
  if (meshes == 0) GTEST_SKIP() << "the resource script binds no meshes";
}

struct Outline {
  RGNDATAHEADER header;
  std::vector<RECT> rects;
};

Outline readOutline(const ResourceData& view) {
  Outline outline{};
  std::memcpy(&outline.header, view.data, sizeof outline.header);
  const auto* bytes = static_cast<const unsigned char*>(view.data);
  for (size_t at = sizeof outline.header; at + sizeof(RECT) <= view.size; at += sizeof(RECT)) {
    RECT r;
    std::memcpy(&r, bytes + at, sizeof r);
    outline.rects.push_back(r);
  }
  return outline;
}

TEST(OutlineResource, RegionHoldsEveryButtonPixel) {
  ResourceData view;
  ASSERT_NE(view.fromResource(MAKEINTRESOURCEA(IDR_REGION), "BINARY"), nullptr);
  HRGN region = ExtCreateRegion(nullptr, view.size, static_cast<const RGNDATA*>(view.data));
  ASSERT_NE(region, nullptr);
  for (int i = 0; i < kButtonCount; ++i) {
    const ButtonEntry& b = buttonTable[i];
    int outside = 0;
    for (LONG y = b.top; y <= b.bottom; ++y)
      for (LONG x = b.left; x <= b.right; ++x) outside += !PtInRegion(region, x, y);
    EXPECT_EQ(outside, 0) << "pixels of button " << i << " outside the outline";
  }
  const Outline outline = readOutline(view);
  EXPECT_FALSE(PtInRegion(region, outline.header.rcBound.left - 1, outline.header.rcBound.top));
  DeleteObject(region);
}

// The real window, on the private display the test runs on.
class MainWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    win32Initialise();
    instanceHandle = GetModuleHandleA(nullptr);
  }
  void SetUp() override {
    quitRequested = false;
    clickPending = false;
    clickedButton = kNoButton;
    stayOnTopIndicator = false;
    createMainWindow();
    ASSERT_NE(mainWindow, nullptr);
  }
  void TearDown() override {
    if (mainWindow) destroyMainWindow();
    quitRequested = false;
  }
};

TEST_F(MainWindow, CentredOnTheScreenWithTheFocus) {
  RECT r{};
  ASSERT_TRUE(GetWindowRect(mainWindow, &r));
  const int x = (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2;
  EXPECT_EQ(r.left, x);
  EXPECT_EQ(r.top, y);
  EXPECT_EQ(r.right - r.left, kWindowWidth);
  EXPECT_EQ(r.bottom - r.top, kWindowHeight);
  EXPECT_EQ(GetFocus(), mainWindow);
  EXPECT_EQ(GetWindowLongA(mainWindow, GWL_EXSTYLE) & WS_EX_TOPMOST, 0) << "starts in the normal z-order";
}

TEST_F(MainWindow, DestroyingEmptiesTheHandleAndUnregistersTheClass) {
  HWND window = mainWindow;
  destroyMainWindow();
  EXPECT_EQ(mainWindow, nullptr);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(UnregisterClassA("KQ APP Class", instanceHandle)) << "already unregistered";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));
}

TEST_F(MainWindow, StayOnTopTwiceReturnsToTheNormalOrder) {
  const LPARAM stayOnTop = at(290, 380);
  EXPECT_EQ(hitTestButtons(stayOnTop), 5);
  EXPECT_NE(GetWindowLongA(mainWindow, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_TRUE(stayOnTopIndicator);
  EXPECT_EQ(hitTestButtons(stayOnTop), 5);
  EXPECT_EQ(GetWindowLongA(mainWindow, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_FALSE(stayOnTopIndicator);
}

TEST_F(MainWindow, KeysAndCloseRequestsSetTheQuitFlagOnly) {
  EXPECT_EQ(SendMessageA(mainWindow, WM_SYSKEYDOWN, VK_MENU, 0), 0);
  EXPECT_FALSE(quitRequested) << "a system key is not a quit request";
  EXPECT_EQ(SendMessageA(mainWindow, WM_KEYDOWN, VK_SHIFT, 0), 0);
  EXPECT_TRUE(quitRequested);

  quitRequested = false;
  EXPECT_EQ(SendMessageA(mainWindow, WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(quitRequested);
  EXPECT_TRUE(IsWindow(mainWindow)) << "the window stays until the shutdown";
}

TEST_F(MainWindow, ButtonClickIsHandedToTheLoop) {
  SendMessageA(mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, at(365, 375));
  EXPECT_EQ(clickedButton, 7);
  EXPECT_TRUE(clickPending);
  EXPECT_TRUE(quitRequested) << "the exit action ran inside the window procedure";
}

TEST_F(MainWindow, MinimiseButtonMinimises) {
  EXPECT_EQ(hitTestButtons(at(330, 380)), 6);
  EXPECT_TRUE(IsIconic(mainWindow));
}

TEST_F(MainWindow, TooltipsAreHiddenTopmostPopupsUntilDestroyed) {
  createTooltips();
  std::set<HWND> windows;
  for (const ButtonEntry& b : buttonTable) {
    ASSERT_TRUE(IsWindow(b.tooltipWindow));
    windows.insert(b.tooltipWindow);
    EXPECT_NE(GetWindowLongA(b.tooltipWindow, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(GetWindowLongA(b.tooltipWindow, GWL_STYLE) & WS_VISIBLE, 0) << "shown only on hovering";
  }
  EXPECT_EQ(windows.size(), 8u) << "one control per button";
  EXPECT_EQ(GetFocus(), mainWindow);
  destroyTooltips();
  for (const ButtonEntry& b : buttonTable) EXPECT_FALSE(IsWindow(b.tooltipWindow));
}

TEST(TooltipsDeathTest, EachFailedDestructionIsReportedAndTheRestGoOn) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // No tooltips exist here; without a display the boxes go to stderr only.
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        destroyTooltips();
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "(Failed to Destroy Tooltip Window\n(.|\n)*Destroy Window Failed(.|\n)*){8}");
}

TEST(FatalErrorDeathTest, ReportsTheMessageAndEndsWithFive) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Without a display the boxes go to stderr only. Nothing was created, so unregistering
  // the class fails first and is reported before the fatal message.
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        instanceHandle = GetModuleHandleA(nullptr);
        fatalError("Error loading IDR_REGION");
      },
      ::testing::ExitedWithCode(5),
      "Failed to Unregister Window\n(.|\n)*Unregister Failed(.|\n)*Error loading IDR_REGION\n");
}

}  // namespace
