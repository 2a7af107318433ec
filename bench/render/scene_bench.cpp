// Scene creation (all meshes and textures, the smoke) on a HAL device over Mesa, broken down
// by mesh, and the processor time of renderFrame. Needs a display: run under
// tests/support/with-xvfb. Present paces to the display, so the frame figure to read is CPU.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "device.h"
#include "scene.h"
#include "shell.h"
#include "skinned_mesh.h"

[[noreturn]] void fatalError(const char* message) {
  std::fprintf(stderr, "%s\n", message);
  std::exit(5);
}
bool stayOnTopIndicator = false;
bool playbackPaused() { return false; }

namespace {

LRESULT CALLBACK plainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// One window and device for the whole run, as the program has.
void ensureDevice() {
  if (device != nullptr) return;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = plainWindowProc;
  windowClass.lpszClassName = "scene bench";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "scene bench", "", WS_POPUP | WS_VISIBLE, 0, 0, kWindowWidth, kWindowHeight, nullptr,
                                nullptr, nullptr, nullptr);
  createDevice(window);
}

void BM_CreateScene(benchmark::State& state) {
  ensureDevice();
  for (auto _ : state) {
    createScene();
    state.PauseTiming();
    releaseScene();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CreateScene)->Unit(benchmark::kMillisecond);

void BM_LoadMesh(benchmark::State& state, const char* resource, bool dynamicTextures) {
  ensureDevice();
  for (auto _ : state) {
    SkinnedMesh mesh(device);
    mesh.load(resource, dynamicTextures);
    state.PauseTiming();
    mesh.release();
    state.ResumeTiming();
  }
}
BENCHMARK_CAPTURE(BM_LoadMesh, planes, "planes.x", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadMesh, credz, "credz.x", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadMesh, train_cabs, "train_cabs.x", true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadMesh, train_wheels, "train_wheels.x", true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadMesh, but_info, "but_info.x", false)->Unit(benchmark::kMillisecond);

void BM_RenderFrame(benchmark::State& state) {
  ensureDevice();
  createScene();
  for (auto _ : state) renderFrame(8);
  releaseScene();
}
BENCHMARK(BM_RenderFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
