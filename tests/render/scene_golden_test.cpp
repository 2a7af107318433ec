// Whole frames of the scene rendered with Mesa under Xvfb at fixed clock values, read back
// and compared with the reference pictures in tests/golden. A pixel differs when one of its
// channels is more than kChannelTolerance away; a frame passes while at most
// kDifferingShare of its pixels differ. On failure the frame and a difference picture (the
// differing pixels in white) are written to the working folder beside the test log.
// KQ_UPDATE_GOLDEN=1 writes the references instead.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "d3d9_testing.h"
#include "device.h"
#include "fatal_error_recorder.h"
#include "scene.h"
#include "shell.h"
#include "shell_stand_in.h"
#include "win32_layer.h"

namespace {

constexpr int kChannelTolerance = 24;
constexpr double kDifferingShare = 0.005;

// The scene's clock at creation; every frame is timed from it.
constexpr DWORD kStart = 50000;

// The part of a frame a reference holds.
struct Region {
  int x = 0, y = 0, width = kWindowWidth, height = kWindowHeight;
};
// The track's band, where the train circles (and its smoke rises).
constexpr Region kTrackBand{80, 150, 360, 200};

LRESULT CALLBACK plainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

bool readPng(const std::string& path, const Region& region, std::vector<uint32_t>& pixels) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_BGRA;  // 0xAARRGGBB in little-endian words
  pixels.assign(image.width * image.height, 0);
  const bool read = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
  return read && image.width == static_cast<png_uint_32>(region.width) &&
         image.height == static_cast<png_uint_32>(region.height);
}

void writePng(const std::string& path, const Region& region, const std::vector<uint32_t>& pixels) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = region.width;
  image.height = region.height;
  image.format = PNG_FORMAT_BGRA;
  png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr);
}

int channelDistance(uint32_t a, uint32_t b) {
  int most = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int d = std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
    most = std::max(most, d);
  }
  return most;
}

class SceneGoldenTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = plainWindowProc;
    windowClass.lpszClassName = "scene golden test";
    RegisterClassA(&windowClass);
  }

  void SetUp() override {
    window = CreateWindowExA(0, "scene golden test", "", WS_POPUP | WS_VISIBLE, 0, 0, kWindowWidth, kWindowHeight,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(fatalErrorMessage([this] { createDevice(window); }), "");
    win32ClockFreeze(true);
    restartAt(kStart);
  }

  // A new scene created at `clock`: the train stands at the angle of that clock, the wheels at
  // the start of their animation, no smoke yet. Frames are then timed from `clock`.
  void restartAt(DWORD clock) {
    releaseScene();
    start = clock;
    win32ClockSet(start);
    ASSERT_EQ(fatalErrorMessage(createScene), "");
  }

  void TearDown() override {
    releaseScene();
    releaseDevice();
    DestroyWindow(window);
    win32ClockFreeze(false);
    stayOnTopIndicator = false;
    testPlaybackPaused = false;
  }

  void frameAt(DWORD ms, int clicked = 8) {
    win32ClockSet(start + ms);
    renderFrame(clicked);
  }
  // Frames 40 ms apart up to `to`, as a running program would draw them.
  void runTo(DWORD from, DWORD to) {
    for (DWORD ms = from; ms < to; ms += 40) frameAt(ms);
  }

  // Renders the frame at `ms` and compares its `region` with the reference of that name.
  void expectFrameMatches(const std::string& name, DWORD ms, int clicked = 8, const Region& region = {}) {
    frameAt(ms, clicked);
    std::vector<uint32_t> frame;
    UINT width = 0, height = 0;
    ASSERT_EQ(d3d9ReadBackBuffer(device, frame, &width, &height), D3D_OK);
    std::vector<uint32_t> actual;
    for (int y = region.y; y < region.y + region.height; ++y)
      actual.insert(actual.end(), frame.begin() + y * kWindowWidth + region.x,
                    frame.begin() + y * kWindowWidth + region.x + region.width);
    const std::string reference = std::string(KQ_GOLDEN_DIR) + "/" + name + ".png";
    if (std::getenv("KQ_UPDATE_GOLDEN")) {
      writePng(reference, region, actual);
      return;
    }
    std::vector<uint32_t> expected;
    ASSERT_TRUE(readPng(reference, region, expected)) << reference;
    std::vector<uint32_t> difference(actual.size(), 0xFF000000);
    size_t differing = 0;
    for (size_t i = 0; i < actual.size(); ++i) {
      if (channelDistance(actual[i], expected[i]) > kChannelTolerance) {
        difference[i] = 0xFFFFFFFF;
        ++differing;
      }
    }
    if (differing > kDifferingShare * actual.size()) {
      writePng(name + ".actual.png", region, actual);
      writePng(name + ".difference.png", region, difference);
      ADD_FAILURE() << name << ": " << differing << " pixels differ; actual and difference written as " << name
                    << ".actual.png and " << name << ".difference.png";
    }
  }

  HWND window = nullptr;
  DWORD start = kStart;
};

// The first frame: the train at the clock's angle (10 radians, about 213 degrees), no smoke
// yet, the panel transparent, no button lit.
TEST_F(SceneGoldenTest, FirstFrame) { expectFrameMatches("first_frame", 0); }

// Six seconds on: the train has moved on 1.2 radians, the wheels have turned, and the
// chimney leaves a trail of puffs, the oldest almost gone.
TEST_F(SceneGoldenTest, TrainWithSmokeAfterSixSeconds) {
  runTo(0, 6000);
  expectFrameMatches("smoke_6s", 6000);
}

// The train seen from two more sides: a quarter and a half turn on from the first frame
// (0.2 radians a second), each the first frame of a scene created at that clock.
TEST_F(SceneGoldenTest, TrainAtTwoMoreAngles) {
  restartAt(kStart + 7854);
  expectFrameMatches("train_quarter_turn", 0, 8, kTrackBand);
  restartAt(kStart + 15708);
  expectFrameMatches("train_half_turn", 0, 8, kTrackBand);
}

// The wheels loop every 500 ms of real time (30 ticks at 4800 a second, slowed 80 times):
// a quarter, a half and three quarters into the loop, with the train near the viewer.
TEST_F(SceneGoldenTest, WheelsThroughOneTurn) {
  restartAt(kStart + 15708);
  runTo(0, 125);
  expectFrameMatches("wheels_125ms", 125, 8, kTrackBand);
  runTo(165, 250);
  expectFrameMatches("wheels_250ms", 250, 8, kTrackBand);
  runTo(290, 375);
  expectFrameMatches("wheels_375ms", 375, 8, kTrackBand);
}

// Two seconds of smoke: six young puffs, still small and dense, along the chimney's path.
TEST_F(SceneGoldenTest, SmokeAfterTwoSeconds) {
  runTo(0, 2000);
  expectFrameMatches("smoke_2s", 2000, 8, kTrackBand);
}

// Half way through the credits fade-in, over the moving train.
TEST_F(SceneGoldenTest, CreditsHalfWayIn) {
  runTo(0, 1000);
  toggleCredits();
  runTo(1000, 1500);
  expectFrameMatches("credits_500ms", 1500);
}

// Every button lit at once: the flashes of the five plain buttons within their 250 ms,
// the credits panel shown, stay on top on and playback paused.
TEST_F(SceneGoldenTest, EveryButtonLit) {
  toggleCredits();
  stayOnTopIndicator = true;
  testPlaybackPaused = true;
  int clicked = 0;
  for (int button : {4, 5, 0, 2, 3, 6, 7}) frameAt(1000 + 20 * clicked++, button);
  expectFrameMatches("buttons_lit", 1200);
}

}  // namespace
