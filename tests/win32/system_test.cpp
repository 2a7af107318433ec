#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <thread>

namespace {

TEST(Registry, NothingIsFound) {
  HKEY key = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234));
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Direct3D", 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  DWORD type = REG_DWORD, value = 7, size = sizeof value;
  EXPECT_EQ(RegQueryValueExA(HKEY_LOCAL_MACHINE, "DisableMMX", nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(value, 7u);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST(SystemInfo, DescribesThisMachine) {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
#if defined(__x86_64__)
  EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
  // Every x86-64 processor has these.
  EXPECT_TRUE(IsProcessorFeaturePresent(PF_MMX_INSTRUCTIONS_AVAILABLE));
  EXPECT_TRUE(IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE));
  EXPECT_TRUE(IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE));
  EXPECT_TRUE(IsProcessorFeaturePresent(PF_RDTSC_INSTRUCTION_AVAILABLE));
#elif defined(__aarch64__)
  EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_ARM64);
  EXPECT_FALSE(IsProcessorFeaturePresent(PF_MMX_INSTRUCTIONS_AVAILABLE));
#endif
  EXPECT_GE(info.dwNumberOfProcessors, 1u);
  EXPECT_GE(info.dwPageSize, 4096u);
  EXPECT_EQ(info.dwPageSize & (info.dwPageSize - 1), 0u);
  EXPECT_FALSE(IsProcessorFeaturePresent(PF_FLOATING_POINT_EMULATED));
  EXPECT_FALSE(IsProcessorFeaturePresent(9999));
}

TEST(Modules, OnlyTheProgramItselfIsLoaded) {
  EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
  EXPECT_EQ(GetModuleHandleA(nullptr), GetModuleHandleA(nullptr));
  SetLastError(0);
  EXPECT_EQ(GetModuleHandleA("d3d9d.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(GetProcAddress(GetModuleHandleA(nullptr), "DebugSetMute"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
}

TEST(LastError, IsPerThread) {
  SetLastError(42);
  DWORD seenByOther = 1;
  std::thread([&] { seenByOther = GetLastError(); }).join();
  EXPECT_EQ(seenByOther, 0u);
  EXPECT_EQ(GetLastError(), 42u);
}

TEST(Diagnostics, TextReachesStderr) {
  testing::internal::CaptureStderr();
  OutputDebugStringA("no newline");
  OutputDebugStringA("\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "no newline\n");

  // Without a display only stderr can tell the user.
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display ? display : "";
  unsetenv("DISPLAY");
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(nullptr, "AudioInit failed!", "KQ DIVU RAZOV VUZE", MB_OK), IDOK);
  const std::string written = testing::internal::GetCapturedStderr();
  if (display) setenv("DISPLAY", saved.c_str(), 1);
  EXPECT_EQ(written.rfind("AudioInit failed!\n", 0), 0u) << written;
}

}  // namespace

namespace {

LRESULT CALLBACK plainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// Without a display a window cannot be made, rather than landing on an off-screen driver
// where the program would run on unseen.
TEST(NoDisplay, WindowsAreRefused) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("SDL_VIDEODRIVER");
  WNDCLASSA info{};
  info.lpfnWndProc = plainProc;
  info.lpszClassName = "KQ Headless";
  ASSERT_NE(RegisterClassA(&info), 0);
  EXPECT_EQ(CreateWindowExA(0, "KQ Headless", "", WS_POPUP, 0, 0, 16, 16, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 0);
  EXPECT_TRUE(UnregisterClassA("KQ Headless", nullptr));
}

}  // namespace
