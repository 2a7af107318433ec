// Costs of the Direct3D 9 layer on the CPU: per-draw overhead of an indexed mesh with state
// changes between draws, and the processor time an empty paced Clear/Present loop takes, next
// to the same loop written straight against SDL and OpenGL (what the driver alone costs).
// Needs a display (run under tests/support/with-xvfb).
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

#include "d3d9.h"
#include "d3d9_test_device.h"
#include "d3d9_testing.h"
#include "win32_layer.h"

namespace {

LRESULT CALLBACK plainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// A 512 x 512 window of the window layer with a HAL device on it.
struct Setup {
  HWND window = nullptr;
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;

  explicit Setup(UINT presentationInterval, D3DDEVTYPE type = D3DDEVTYPE_HAL) {
    if (type == D3DDEVTYPE_NULLREF) {
      d3d9test::createNullRefDevice(512, 512, d3d, device);
      return;
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = plainWindowProc;
    windowClass.lpszClassName = "d3d9 bench";
    RegisterClassA(&windowClass);
    window =
        CreateWindowExA(0, "d3d9 bench", "", WS_POPUP | WS_VISIBLE, 0, 0, 512, 512, nullptr, nullptr, nullptr, nullptr);
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp = d3d9test::windowedParameters(0, 0, window);
    pp.PresentationInterval = presentationInterval;
    if (window && d3d) d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device);
  }
  ~Setup() {
    if (device) device->Release();
    if (d3d) d3d->Release();
    if (window) DestroyWindow(window);
    UnregisterClassA("d3d9 bench", nullptr);
  }
};

struct MeshVertex {
  float x, y, z, nx, ny, nz, u, v;
};

// HAL: the whole cost on the calling thread, Mesa's vertex processing included.
// NULLREF: this layer's own share (argument and index checks, state tracking), no OpenGL.
void BM_DrawIndexedPrimitiveWithStateChanges(benchmark::State& state) {
  Setup setup(D3DPRESENT_INTERVAL_IMMEDIATE, static_cast<D3DDEVTYPE>(state.range(0)));
  IDirect3DDevice9* device = setup.device;
  if (device == nullptr) {
    state.SkipWithError("no HAL device (no display?)");
    return;
  }
  // A 100-triangle fan-like strip of small triangles, as a mesh in managed buffers.
  constexpr int kTriangles = 100;
  IDirect3DVertexBuffer9* vb = nullptr;
  IDirect3DIndexBuffer9* ib = nullptr;
  device->CreateVertexBuffer((kTriangles + 2) * sizeof(MeshVertex), D3DUSAGE_WRITEONLY,
                             D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, D3DPOOL_MANAGED, &vb, nullptr);
  device->CreateIndexBuffer(kTriangles * 3 * sizeof(uint16_t), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib,
                            nullptr);
  MeshVertex* vertices = nullptr;
  vb->Lock(0, 0, reinterpret_cast<void**>(&vertices), 0);
  for (int i = 0; i < kTriangles + 2; ++i)
    vertices[i] = {0.02f * (i / 2) - 0.5f, (i % 2) * 0.05f, 0.5f, 0, 0, -1, (i / 2) * 0.02f, static_cast<float>(i % 2)};
  vb->Unlock();
  uint16_t* indices = nullptr;
  ib->Lock(0, 0, reinterpret_cast<void**>(&indices), 0);
  for (int t = 0; t < kTriangles; ++t) {
    // Alternate the order so every triangle is wound the same way round.
    indices[3 * t] = static_cast<uint16_t>(t);
    indices[3 * t + 1] = static_cast<uint16_t>(t % 2 ? t + 2 : t + 1);
    indices[3 * t + 2] = static_cast<uint16_t>(t % 2 ? t + 1 : t + 2);
  }
  ib->Unlock();
  IDirect3DTexture9* textures[2] = {};
  for (auto& texture : textures)
    device->CreateTexture(64, 64, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
  device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
  device->SetStreamSource(0, vb, 0, sizeof(MeshVertex));
  device->SetIndices(ib);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  D3DMATRIX world{};
  world._11 = world._22 = world._33 = world._44 = 1.0f;

  constexpr int kDrawsPerFrame = 200;
  for (auto _ : state) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    device->BeginScene();
    for (int i = 0; i < kDrawsPerFrame; ++i) {
      // What a mesh subset changes between draws: texture, fade factor, world matrix.
      device->SetTexture(0, textures[i & 1]);
      device->SetRenderState(D3DRS_TEXTUREFACTOR, D3DCOLOR_ARGB(i & 0xFF, 255, 255, 255));
      world._41 = 0.001f * static_cast<float>(i % 10);
      device->SetTransform(D3DTS_WORLD, &world);
      device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, kTriangles + 2, 0, kTriangles);
    }
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
  }
  state.SetItemsProcessed(state.iterations() * kDrawsPerFrame);
  state.counters["draws/frame"] = kDrawsPerFrame;
  device->SetTexture(0, nullptr);
  device->SetStreamSource(0, nullptr, 0, 0);
  device->SetIndices(nullptr);
  for (auto* texture : textures) texture->Release();
  ib->Release();
  vb->Release();
}
BENCHMARK(BM_DrawIndexedPrimitiveWithStateChanges)
    ->ArgName("devtype")
    ->Arg(D3DDEVTYPE_HAL)
    ->Arg(D3DDEVTYPE_NULLREF)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0);

double processSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

double wallSeconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

// Runs `frame` past the first presents (which measure whether the swap waits), then once per
// iteration; records the frame rate and the processor time per wall second, all threads of
// the process (the driver's included) counted.
template <typename Frame>
void measureFrames(benchmark::State& state, Frame frame) {
  for (int i = 0; i < 20; ++i) frame();
  const double cpuStart = processSeconds(), wallStart = wallSeconds();
  int64_t frames = 0;
  for (auto _ : state) {
    frame();
    ++frames;
  }
  const double cpu = processSeconds() - cpuStart, wall = wallSeconds() - wallStart;
  state.counters["fps"] = frames / wall;
  state.counters["cpu_percent_of_core"] = 100.0 * cpu / wall;
}

// What the program does (target and depth), and the parts of it: 0 presents only.
void clearVariants(benchmark::internal::Benchmark* benchmark) {
  benchmark->ArgName("clear")
      ->Arg(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER)
      ->Arg(D3DCLEAR_TARGET)
      ->Arg(0)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(240);
}

// The program's loop with nothing to draw: Clear, Present, repeat. Present must wait, so
// the processor time per wall second stays far below one core.
void BM_PacedClearPresentLoop(benchmark::State& state) {
  Setup setup(D3DPRESENT_INTERVAL_DEFAULT);
  IDirect3DDevice9* device = setup.device;
  if (device == nullptr) {
    state.SkipWithError("no HAL device (no display?)");
    return;
  }
  const auto clearFlags = static_cast<DWORD>(state.range(0));
  measureFrames(state, [&] {
    if (clearFlags != 0) device->Clear(0, nullptr, clearFlags, 0, 1.0f, 0);
    device->Present(nullptr, nullptr, nullptr, nullptr);
  });
  state.counters["swap_waits"] = d3d9SwapWaitsForRefresh(device) ? 1 : 0;
}
BENCHMARK(BM_PacedClearPresentLoop)->Apply(clearVariants);

// The floor under BM_PacedClearPresentLoop: the same kind of window, cleared and swapped with
// no layer in between, paced by sleeping to 60 Hz.
void BM_RawGlClearSwapLoop(benchmark::State& state) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = plainWindowProc;
  windowClass.lpszClassName = "raw gl bench";
  RegisterClassA(&windowClass);
  HWND window =
      CreateWindowExA(0, "raw gl bench", "", WS_POPUP | WS_VISIBLE, 0, 0, 512, 512, nullptr, nullptr, nullptr, nullptr);
  SDL_Window* sdlWindow = window ? win32SdlWindow(window) : nullptr;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GLContext context = sdlWindow ? SDL_GL_CreateContext(sdlWindow) : nullptr;
  if (context == nullptr) {
    state.SkipWithError("no OpenGL context (no display?)");
  } else {
    SDL_GL_SetSwapInterval(1);
    const auto clearFlags = static_cast<DWORD>(state.range(0));
    const GLbitfield mask = ((clearFlags & D3DCLEAR_TARGET) ? GL_COLOR_BUFFER_BIT : 0) |
                            ((clearFlags & D3DCLEAR_ZBUFFER) ? GL_DEPTH_BUFFER_BIT : 0);
    const auto period = std::chrono::nanoseconds(1'000'000'000 / 60);
    auto deadline = std::chrono::steady_clock::now();
    measureFrames(state, [&] {
      if (mask != 0) {
        glClearColor(0, 0, 0, 0);
        glClear(mask);
      }
      SDL_GL_SwapWindow(sdlWindow);
      deadline += period;
      std::this_thread::sleep_until(deadline);
    });
    SDL_GL_DeleteContext(context);
  }
  if (window) DestroyWindow(window);
  UnregisterClassA("raw gl bench", nullptr);
}
BENCHMARK(BM_RawGlClearSwapLoop)->Apply(clearVariants);

}  // namespace

BENCHMARK_MAIN();
