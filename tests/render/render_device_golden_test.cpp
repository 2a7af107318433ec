// createDevice on the real main-window path: a window of the window layer under Xvfb.
#include <gtest/gtest.h>

#include <cstdlib>

#include "device.h"
#include "fatal_error_recorder.h"
#include "main_window.h"

namespace {

LRESULT CALLBACK plainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// Registers a class and makes the main window the renderer reads.
void createTestMainWindow() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = plainWindowProc;
  windowClass.lpszClassName = "render device test";
  RegisterClassA(&windowClass);
  mainWindow = CreateWindowExA(0, "render device test", "", WS_POPUP | WS_VISIBLE, 0, 0, kWindowWidth, kWindowHeight,
                               nullptr, nullptr, nullptr, nullptr);
}

void destroyTestMainWindow() {
  DestroyWindow(mainWindow);
  mainWindow = nullptr;
  UnregisterClassA("render device test", nullptr);
}

bool openGlCapped() { return std::getenv("MESA_GL_VERSION_OVERRIDE") != nullptr; }

TEST(CreateDevice, MakesAHalDeviceOnTheMainWindowWithItsClientSize) {
  if (openGlCapped()) GTEST_SKIP() << "OpenGL is held below 3.3 in this run";
  createTestMainWindow();
  ASSERT_NE(mainWindow, nullptr);
  EXPECT_EQ(fatalErrorMessage([] { createDevice(); }), "");
  ASSERT_NE(device, nullptr);
  D3DDEVICE_CREATION_PARAMETERS creation{};
  ASSERT_EQ(device->GetCreationParameters(&creation), D3D_OK);
  EXPECT_EQ(creation.DeviceType, D3DDEVTYPE_HAL);
  EXPECT_EQ(creation.hFocusWindow, mainWindow);
  EXPECT_EQ(creation.BehaviorFlags, static_cast<DWORD>(D3DCREATE_SOFTWARE_VERTEXPROCESSING));
  D3DVIEWPORT9 viewport{};
  ASSERT_EQ(device->GetViewport(&viewport), D3D_OK);
  EXPECT_EQ(viewport.Width, static_cast<DWORD>(kWindowWidth));
  EXPECT_EQ(viewport.Height, static_cast<DWORD>(kWindowHeight));
  EXPECT_EQ(fatalErrorMessage([] { applyBaseState(); }), "");
  releaseDevice();
  releaseDevice();
  EXPECT_EQ(device, nullptr);
  destroyTestMainWindow();
}

// Run with OpenGL held below 3.3: there is no device to be had, and no other kind is tried.
TEST(CreateDevice, WithoutOpenGl33EndsWithErrorCreatingDevice) {
  if (!openGlCapped()) GTEST_SKIP() << "needs MESA_GL_VERSION_OVERRIDE below 3.3";
  createTestMainWindow();
  EXPECT_EQ(fatalErrorMessage([] { createDevice(); }), "Error creating device\n");
  EXPECT_EQ(device, nullptr);
  releaseDevice();
  EXPECT_EQ(direct3D, nullptr);
  destroyTestMainWindow();
}

TEST(CreateDevice, FailsWithoutAWindow) {
  mainWindow = nullptr;
  EXPECT_EQ(fatalErrorMessage([] { createDevice(); }), "Error creating device\n");
  releaseDevice();
}

}  // namespace
