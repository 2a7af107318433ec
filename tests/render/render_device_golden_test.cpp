// createDevice on a real window of the window layer under Xvfb.
#include <gtest/gtest.h>

#include <cstdlib>

#include "device.h"
#include "fatal_error_recorder.h"
#include "shell.h"

namespace {

LRESULT CALLBACK plainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND testWindow = nullptr;

// Registers a class and makes a window of the main window's size.
void createTestWindow() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = plainWindowProc;
  windowClass.lpszClassName = "render device test";
  RegisterClassA(&windowClass);
  testWindow = CreateWindowExA(0, "render device test", "", WS_POPUP | WS_VISIBLE, 0, 0, kWindowWidth, kWindowHeight,
                               nullptr, nullptr, nullptr, nullptr);
}

void destroyTestWindow() {
  DestroyWindow(testWindow);
  testWindow = nullptr;
  UnregisterClassA("render device test", nullptr);
}

bool openGlCapped() { return std::getenv("MESA_GL_VERSION_OVERRIDE") != nullptr; }

TEST(CreateDevice, MakesAHalDeviceOnTheMainWindowWithItsClientSize) {
  if (openGlCapped()) GTEST_SKIP() << "OpenGL is held below 3.3 in this run";
  createTestWindow();
  ASSERT_NE(testWindow, nullptr);
  EXPECT_EQ(fatalErrorMessage([] { createDevice(testWindow); }), "");
  ASSERT_NE(device, nullptr);
  D3DDEVICE_CREATION_PARAMETERS creation{};
  ASSERT_EQ(device->GetCreationParameters(&creation), D3D_OK);
  EXPECT_EQ(creation.DeviceType, D3DDEVTYPE_HAL);
  EXPECT_EQ(creation.hFocusWindow, testWindow);
  EXPECT_EQ(creation.BehaviorFlags, static_cast<DWORD>(D3DCREATE_SOFTWARE_VERTEXPROCESSING));
  D3DVIEWPORT9 viewport{};
  ASSERT_EQ(device->GetViewport(&viewport), D3D_OK);
  EXPECT_EQ(viewport.Width, static_cast<DWORD>(kWindowWidth));
  EXPECT_EQ(viewport.Height, static_cast<DWORD>(kWindowHeight));
  EXPECT_EQ(fatalErrorMessage([] { applyBaseState(); }), "");
  releaseDevice();
  releaseDevice();
  EXPECT_EQ(device, nullptr);
  destroyTestWindow();
}

// Run with OpenGL held below 3.3: there is no device to be had, and no other kind is tried.
TEST(CreateDevice, WithoutOpenGl33EndsWithErrorCreatingDevice) {
  if (!openGlCapped()) GTEST_SKIP() << "needs MESA_GL_VERSION_OVERRIDE below 3.3";
  createTestWindow();
  EXPECT_EQ(fatalErrorMessage([] { createDevice(testWindow); }), "Error creating device\n");
  EXPECT_EQ(device, nullptr);
  releaseDevice();
  EXPECT_EQ(direct3D, nullptr);
  destroyTestWindow();
}

TEST(CreateDevice, FailsWithoutAWindow) {
  testWindow = nullptr;
  EXPECT_EQ(fatalErrorMessage([] { createDevice(testWindow); }), "Error creating device\n");
  releaseDevice();
}

}  // namespace
