// Costs of the Direct3D 9 layer on the CPU: per-draw overhead of an indexed mesh with state
// changes between draws, and the processor time an empty paced Clear/Present loop takes.
// Needs a display (run under tests/support/with-xvfb).
#include <benchmark/benchmark.h>

#include <ctime>
#include <cmath>
#include <cstring>
#include <vector>

#include "d3d9.h"
#include "d3d9_testing.h"

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
      d3d = Direct3DCreate9(D3D_SDK_VERSION);
      D3DPRESENT_PARAMETERS pp{};
      pp.BackBufferWidth = pp.BackBufferHeight = 512;
      pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
      pp.Windowed = TRUE;
      d3d->CreateDevice(0, type, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device);
      return;
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = plainWindowProc;
    windowClass.lpszClassName = "d3d9 bench";
    RegisterClassA(&windowClass);
    window = CreateWindowExA(0, "d3d9 bench", "", WS_POPUP | WS_VISIBLE, 0, 0, 512, 512, nullptr, nullptr, nullptr,
                             nullptr);
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    pp.PresentationInterval = presentationInterval;
    if (window && d3d)
      d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device);
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
  device->CreateIndexBuffer(kTriangles * 3 * sizeof(uint16_t), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                            &ib, nullptr);
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
  for (auto& texture : textures) device->CreateTexture(64, 64, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
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

// The program's loop with nothing to draw: Clear, Present, repeat. Present must wait, so
// the processor time per wall second stays far below one core.
void BM_PacedClearPresentLoop(benchmark::State& state) {
  Setup setup(D3DPRESENT_INTERVAL_DEFAULT);
  IDirect3DDevice9* device = setup.device;
  if (device == nullptr) {
    state.SkipWithError("no HAL device (no display?)");
    return;
  }
  // Past the first presents, which measure whether the swap waits.
  for (int i = 0; i < 20; ++i) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    device->Present(nullptr, nullptr, nullptr, nullptr);
  }
  const double cpuStart = processSeconds(), wallStart = wallSeconds();
  int64_t frames = 0;
  for (auto _ : state) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    ++frames;
  }
  const double cpu = processSeconds() - cpuStart, wall = wallSeconds() - wallStart;
  state.counters["fps"] = frames / wall;
  state.counters["cpu_percent_of_core"] = 100.0 * cpu / wall;
  state.counters["swap_waits"] = d3d9SwapWaitsForRefresh(device) ? 1 : 0;
}
BENCHMARK(BM_PacedClearPresentLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(240);

}  // namespace

BENCHMARK_MAIN();
